#pragma once

#include <memory>

#include "media/pixel_conversion.hpp"
#include "media/video_frame.hpp"

namespace skelder::media {

// Puts a decoded picture into an output frame of another size or orientation: turned
// clockwise by `turnDegrees` (0, 90, 180 or 270), scaled to fit with its proportions kept and
// centred between black bars. A reel takes its size and orientation from its first piece;
// pieces recorded at another size, or by a recorder turned otherwise, are placed like this so
// they play upright and undistorted.
class PicturePlacer {
  public:
    void place(const AVFrame& decoded, int turnDegrees, VideoFrame& destination);

  private:
    ToBgraConverter converter_;
    std::unique_ptr<FramePool> decodedPool_;
    std::unique_ptr<FramePool> turnedPool_;
};

// The part of an output frame (left, top, width, height) a picture of `width` × `height`
// fills when fitted with its proportions kept, centred.
PixelRegion fittedRegion(int width, int height, int outputWidth, int outputHeight);

}  // namespace skelder::media
