#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "media/color_properties.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/square_runs.hpp"

namespace skelder::media {

// A premultiplied BGRA layer (the HUD's unchanging panels) prepared once for compositing
// straight onto 4:2:0 pictures of one colour description. The result is, to the rounding,
// that of converting the picture to BGRA, compositing the layer there (source-over) and
// converting back, without either conversion: the three cost more than the encoder spends
// on those pixels.
class Yuv420Layer {
  public:
    // Pixels of the layer at a place in the picture, rows `stride` bytes apart.
    struct Patch {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        const std::uint8_t* bgra = nullptr;
        int stride = 0;
    };

    // Patches must not overlap. Only their whole 2 × 2 squares are kept: a column or row left
    // over at an odd edge of a picture is not encoded.
    Yuv420Layer(std::span<const Patch> patches, const ColorProperties& resolvedColor);

    // Composites the layer's pixels that lie in the run onto the picture (yuv420p of the
    // layer's colour description, at least as large as the patches reach). A run of a single
    // row (the last of a picture of odd height) is left alone.
    void compositeOnto(AVFrame& picture, const SquareRun& run) const;

  private:
    struct Prepared {
        int left, top, width, height;
        // Per pixel: the layer's own luma term and how much of the picture's luma stays.
        std::vector<std::int32_t> lumaTerms;
        std::vector<std::int32_t> lumaKept;
        // Per square: the same for each chroma plane.
        std::vector<std::int32_t> uTerms, vTerms;
        std::vector<std::int32_t> chromaKept;
    };
    std::vector<Prepared> patches_;
    int yOffset_;
};

}  // namespace skelder::media
