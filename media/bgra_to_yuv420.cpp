#include "media/bgra_to_yuv420.hpp"

#include <algorithm>
#include <cmath>

namespace skelder::media {
namespace {

constexpr int kShift = 14;  // fractional bits of the coefficients
constexpr double kOne = 1 << kShift;

struct LumaWeights {
    double kr;
    double kb;
};

LumaWeights lumaWeightsFor(AVColorSpace matrix) {
    switch (matrix) {
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
        case AVCOL_SPC_FCC:
        case AVCOL_SPC_SMPTE240M:
            return {0.299, 0.114};
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return {0.2627, 0.0593};
        default:
            return {0.2126, 0.0722};
    }
}

std::int32_t fixed(double value) {
    return static_cast<std::int32_t>(std::lround(value * kOne));
}

// The loops are plain so the compiler vectorises them; the clones add an AVX2 version chosen
// at run time on machines that have it. ThreadSanitizer's runtime is not ready when the
// loader picks a clone, so its builds keep the plain version.
#if defined(__SANITIZE_THREAD__)
#define SKELDER_VECTOR_CLONES
#else
#define SKELDER_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

SKELDER_VECTOR_CLONES void lumaRow(const std::uint8_t* __restrict bgra, std::uint8_t* __restrict y,
                                   int width, const YuvCoefficients& k) {
    const std::int32_t yr = k.yr, yg = k.yg, yb = k.yb;
    const std::int32_t offset = (k.yOffset << kShift) + (1 << (kShift - 1));
    for (int x = 0; x < width; ++x) {
        const std::int32_t b = bgra[4 * x], g = bgra[4 * x + 1], r = bgra[4 * x + 2];
        const std::int32_t value = (yr * r + yg * g + yb * b + offset) >> kShift;
        y[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
}

// One row of chroma from two rows of pixels: each output sample from a 2 × 2 square.
SKELDER_VECTOR_CLONES void chromaRow(const std::uint8_t* __restrict top,
                                     const std::uint8_t* __restrict bottom,
                                     std::uint8_t* __restrict u, std::uint8_t* __restrict v,
                                     int chromaWidth, const YuvCoefficients& k) {
    // The sums of four pixels carry two more bits.
    constexpr int shift = kShift + 2;
    constexpr std::int32_t offset = (128 << shift) + (1 << (shift - 1));
    const std::int32_t ur = k.ur, ug = k.ug, ub = k.ub, vr = k.vr, vg = k.vg, vb = k.vb;
    for (int x = 0; x < chromaWidth; ++x) {
        const std::int32_t b = top[8 * x] + top[8 * x + 4] + bottom[8 * x] + bottom[8 * x + 4];
        const std::int32_t g =
            top[8 * x + 1] + top[8 * x + 5] + bottom[8 * x + 1] + bottom[8 * x + 5];
        const std::int32_t r =
            top[8 * x + 2] + top[8 * x + 6] + bottom[8 * x + 2] + bottom[8 * x + 6];
        const std::int32_t cb = (ur * r + ug * g + ub * b + offset) >> shift;
        const std::int32_t cr = (vr * r + vg * g + vb * b + offset) >> shift;
        u[x] = static_cast<std::uint8_t>(std::clamp(cb, 0, 255));
        v[x] = static_cast<std::uint8_t>(std::clamp(cr, 0, 255));
    }
}

}  // namespace

YuvCoefficients yuvCoefficientsFor(const ColorProperties& color) {
    const auto [kr, kb] = lumaWeightsFor(color.matrix);
    const double kg = 1 - kr - kb;
    // Limited range puts luma on 16…235 and chroma on 16…240 (around 128).
    const bool full = color.isFullRange();
    const double lumaScale = full ? 1.0 : 219.0 / 255.0;
    const double chromaScale = full ? 1.0 : 224.0 / 255.0;
    const double cbScale = chromaScale / (2 * (1 - kb));
    const double crScale = chromaScale / (2 * (1 - kr));
    return {fixed(kr * lumaScale),     fixed(kg * lumaScale),
            fixed(kb * lumaScale),     full ? 0 : 16,
            fixed(-kr * cbScale),      fixed(-kg * cbScale),
            fixed((1 - kb) * cbScale), fixed((1 - kr) * crScale),
            fixed(-kg * crScale),      fixed(-kb * crScale)};
}

void convertBgraToYuv420(const std::uint8_t* bgra, int bgraStride, const Yuv420Planes& out,
                         int width, int height, const YuvCoefficients& k) {
    for (int row = 0; row + 1 < height; row += 2) {
        const std::uint8_t* top = bgra + static_cast<std::ptrdiff_t>(row) * bgraStride;
        const std::uint8_t* bottom = top + bgraStride;
        lumaRow(top, out.y + static_cast<std::ptrdiff_t>(row) * out.yStride, width, k);
        lumaRow(bottom, out.y + static_cast<std::ptrdiff_t>(row + 1) * out.yStride, width, k);
        const std::ptrdiff_t chromaRowIndex = row / 2;
        chromaRow(top, bottom, out.u + chromaRowIndex * out.uStride,
                  out.v + chromaRowIndex * out.vStride, width / 2, k);
    }
}

}  // namespace skelder::media
