#pragma once

#include <cstdint>

#include "media/color_properties.hpp"

namespace skelder::media {

// Fixed-point coefficients of one RGB → YUV matrix and range (scaled by 2^14).
struct YuvCoefficients {
    std::int32_t yr, yg, yb, yOffset;
    std::int32_t ur, ug, ub;
    std::int32_t vr, vg, vb;
};

// The coefficients for a resolved colour description (ColorProperties::resolved): BT.601
// (also for FCC and SMPTE 240M, as the decoder reads them), BT.709 or BT.2020, limited or
// full range.
YuvCoefficients yuvCoefficientsFor(const ColorProperties& color);

// Where the top-left pixel of a block goes in each plane of a 4:2:0 picture.
struct Yuv420Planes {
    std::uint8_t* y = nullptr;
    int yStride = 0;
    std::uint8_t* u = nullptr;
    int uStride = 0;
    std::uint8_t* v = nullptr;
    int vStride = 0;
};

// Converts a block of BGRA pixels (width and height even, at least 2) to 4:2:0: luma per
// pixel, chroma from the average of each 2 × 2 square. Reads and writes exactly the block's
// pixels and nothing past them, so blocks may sit anywhere inside a picture: libswscale's
// vector code writes past the end of a block's rows (into the start of the next row when the
// block reaches the right edge), libyuv has no BT.709 or BT.2020 encoder and rounds its
// BT.601 chroma down.
void convertBgraToYuv420(const std::uint8_t* bgra, int bgraStride, const Yuv420Planes& out,
                         int width, int height, const YuvCoefficients& k);

}  // namespace skelder::media
