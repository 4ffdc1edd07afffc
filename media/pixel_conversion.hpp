#pragma once

#include <map>
#include <utility>

#include "media/color_properties.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/video_frame.hpp"

namespace skelder::media {

// Decoded YUV (any format FFmpeg decodes) → BGRA, honouring the stream's matrix and range.
// libyuv does the common formats; anything else goes through libswscale.
class ToBgraConverter {
  public:
    void convert(const AVFrame& source, VideoFrame& destination);

  private:
    SwsContextPtr fallback_;
};

// BGRA → yuv420p under a given matrix and range, for the encoder. libyuv covers BT.601;
// it has no BT.709/BT.2020 encoder, so those go through libswscale with the right matrix.
class ToYuv420Converter {
  public:
    ToYuv420Converter(int width, int height, ColorProperties color);
    // The whole picture, or, when the frame kept a compatible decoded picture, that picture
    // with only the frame's modified regions converted into it.
    void convert(const VideoFrame& source, AVFrame& destination);

  private:
    void convertRegion(const VideoFrame& source, PixelRegion region, AVFrame& destination);
    bool canReuse(const AVFrame& picture) const;

    int width_;
    int height_;
    ColorProperties color_;
    std::map<std::pair<int, int>, SwsContextPtr> regionContexts_;  // by region size
};

}  // namespace skelder::media
