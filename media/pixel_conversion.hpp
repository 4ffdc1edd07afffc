#pragma once

#include <cstdint>
#include <vector>

#include "media/bgra_to_yuv420.hpp"
#include "media/color_properties.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/square_runs.hpp"
#include "media/video_frame.hpp"
#include "media/yuv_to_bgra.hpp"

namespace skelder::media {

// Decoded YUV (any format FFmpeg decodes) → BGRA, honouring the stream's matrix and range.
// The planar formats of 8, 10 and 12 bits are ours, NV12 libyuv's; anything else goes through
// libswscale.
class ToBgraConverter {
  public:
    void convert(const AVFrame& source, VideoFrame& destination);

  private:
    SwsContextPtr fallback_;
};

// A decoded picture's colour description, resolved (ColorProperties::resolved).
ColorProperties colorPropertiesOf(const AVFrame& picture);

// The conversion coefficients for a decoded picture's own matrix and range.
RgbCoefficients rgbCoefficientsOf(const AVFrame& picture);

// The pixels of a run of a yuv420p picture → BGRA at the same place in a frame of the
// picture's size, with the picture's coefficients.
void convertYuv420RunToBgra(const AVFrame& picture, const SquareRun& run, std::uint8_t* bgra,
                            int bgraStride, const RgbCoefficients& k);

// BGRA → yuv420p under a given matrix and range, for the encoder. The picture is `width` ×
// `height` (even sizes: 4:2:0 cannot hold odd ones); larger frames give their top-left part.
class ToYuv420Converter {
  public:
    ToYuv420Converter(int width, int height, ColorProperties color);
    // The whole picture, or, when the frame kept a compatible decoded picture, that picture
    // with only the frame's modified regions converted into it. Safe to call from several
    // threads at once.
    void convert(const VideoFrame& source, AVFrame& destination) const;
    // The same without a copy: converts the modified regions into the frame's decoded picture
    // itself and hands that picture over as the result (the caller frees it). Null, changing
    // nothing, when the frame has no decoded picture that is usable and its own alone.
    AVFrame* convertIntoSourcePicture(VideoFrame& source) const;

  private:
    // Converts the modified regions of `source` into `destination`.
    void convertModifiedRegions(const VideoFrame& source, AVFrame& destination) const;
    // Converts the pixels of a block with even sides at even coordinates.
    void convertBlock(const std::uint8_t* bgra, int bgraStride, PixelRegion block,
                      AVFrame& destination) const;
    bool canReuse(const AVFrame& picture) const;

    int width_;
    int height_;
    ColorProperties color_;
    YuvCoefficients coefficients_;
};

}  // namespace skelder::media
