#pragma once

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
    void convert(const VideoFrame& source, AVFrame& destination);

  private:
    int width_;
    int height_;
    ColorProperties color_;
    SwsContextPtr sws_;
};

}  // namespace skelder::media
