#pragma once

#include <memory>
#include <optional>

#include "media/pixel_conversion.hpp"
#include "media/video_frame.hpp"

namespace skelder::media {

// Puts a decoded picture into an output frame of another size or orientation: turned
// clockwise by `turnDegrees` (0, 90, 180 or 270), scaled to fit with its proportions kept and
// centred between black bars. A reel takes its size and orientation from its first piece;
// pieces recorded at another size, or by a recorder turned otherwise, are placed like this so
// they play upright and undistorted.
// With `cropCentre` a picture wider than the output's shape is cropped instead: the full
// height, as wide as the output's proportions allow, centred on that share of its width (kept
// inside the picture), and scaled to fill the output.
class PicturePlacer {
  public:
    void place(const AVFrame& decoded, int turnDegrees, VideoFrame& destination,
               std::optional<double> cropCentre = std::nullopt);

  private:
    ToBgraConverter converter_;
    std::unique_ptr<FramePool> decodedPool_;
    std::unique_ptr<FramePool> turnedPool_;
};

// The part of an output frame (left, top, width, height) a picture of `width` × `height`
// fills when fitted with its proportions kept, centred.
PixelRegion fittedRegion(int width, int height, int outputWidth, int outputHeight);

// The columns of a picture of `width` × `height` a crop to the output's proportions takes,
// centred on `centre` (a share of the width) and kept inside; the whole picture when it is no
// wider than the output's shape.
PixelRegion croppedRegion(int width, int height, int outputWidth, int outputHeight,
                          double centre);

}  // namespace skelder::media
