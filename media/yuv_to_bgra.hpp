#pragma once

#include <cstdint>

#include "media/color_properties.hpp"

namespace skelder::media {

// Fixed-point coefficients of one YUV → RGB matrix and range (scaled by 2^13, so each fits
// the 16-bit multiplier of the vector path).
struct RgbCoefficients {
    std::int16_t y;        // per luma step above black
    std::int16_t yOffset;  // luma of black: 16, or 0 in full range
    std::int16_t rv, gu, gv, bu;
};

// The inverse of yuvCoefficientsFor's matrix for the same resolved colour description, so a
// picture converted to BGRA and back comes out as it went in (to the rounding, for colours
// RGB can hold).
RgbCoefficients rgbCoefficientsFor(const ColorProperties& color);

// Where the top-left pixel of a block sits in each plane of a planar YUV picture.
struct ConstYuvPlanes {
    const std::uint8_t* y = nullptr;
    int yStride = 0;
    const std::uint8_t* u = nullptr;
    int uStride = 0;
    const std::uint8_t* v = nullptr;
    int vStride = 0;
};

// How many pixels one chroma sample serves: a 2 × 2 square (4:2:0), two pixels of a row
// (4:2:2) or one (4:4:4).
enum class ChromaLayout { k420, k422, k444 };

// Converts a block of `width` × `rows` pixels whose top-left pixel starts a chroma sample's
// pixels (even column and, in 4:2:0, even row). Reads and writes exactly the block's samples
// and pixels. libyuv's converters cap the blue weight of BT.709 and BT.601 to fit their 8-bit
// multipliers, which leaves blue short and shifts the chroma of a picture sent back through
// the encoder's conversion; this one is exact to the rounding.
void convertYuvToBgra(const ConstYuvPlanes& in, ChromaLayout layout, std::uint8_t* bgra,
                      int bgraStride, int width, int rows, const RgbCoefficients& k);

// The same for planar pictures of 9 to 12 bits a sample (16-bit words in the machine's byte
// order; the strides stay in bytes), with the same coefficients: a deep picture whose samples
// are an 8-bit picture's shifted up converts to exactly the same pixels, and the rest rounds
// to nearest the same way.
void convertDeepYuvToBgra(const ConstYuvPlanes& in, int bitDepth, ChromaLayout layout,
                          std::uint8_t* bgra, int bgraStride, int width, int rows,
                          const RgbCoefficients& k);

}  // namespace skelder::media
