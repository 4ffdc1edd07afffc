#include "media/yuv420_layer.hpp"

#include <algorithm>
#include <cmath>

#include "core/cpu_features.hpp"
#include "media/bgra_to_yuv420.hpp"

namespace skelder::media {
namespace {

// Fractional bits of luma and chroma sums: the encoder conversion's (chroma sums four pixels).
constexpr int kLumaShift = 14;
constexpr int kChromaShift = 16;

std::int32_t rounded(double value) {
    return static_cast<std::int32_t>(std::lround(value));
}

// One row of luma: what stays of the picture plus the layer's term. Plain loops the compiler
// vectorises, once for AVX2 (chosen at run time) and once for any processor.
[[gnu::always_inline]] inline void compositeLumaRow(std::uint8_t* __restrict y,
                                                    const std::int32_t* __restrict terms,
                                                    const std::int32_t* __restrict kept, int count,
                                                    int offset) {
    for (int i = 0; i < count; ++i) {
        const std::int32_t value = ((y[i] - offset) * kept[i] + terms[i]) >> kLumaShift;
        y[i] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
}

[[gnu::always_inline]] inline void compositeChromaRow(std::uint8_t* __restrict c,
                                                      const std::int32_t* __restrict terms,
                                                      const std::int32_t* __restrict kept,
                                                      int count) {
    for (int i = 0; i < count; ++i) {
        const std::int32_t value = ((c[i] - 128) * kept[i] + terms[i]) >> kChromaShift;
        c[i] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
}

#if defined(SKELDER_HAS_AVX2_PATH)
__attribute__((target("avx2"))) void compositeLumaAvx2(std::uint8_t* y, const std::int32_t* terms,
                                                       const std::int32_t* kept, int count,
                                                       int offset) {
    compositeLumaRow(y, terms, kept, count, offset);
}

__attribute__((target("avx2"))) void compositeChromaAvx2(std::uint8_t* c, const std::int32_t* terms,
                                                         const std::int32_t* kept, int count) {
    compositeChromaRow(c, terms, kept, count);
}
#endif

void compositeLuma(std::uint8_t* y, const std::int32_t* terms, const std::int32_t* kept, int count,
                   int offset) {
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        return compositeLumaAvx2(y, terms, kept, count, offset);
#endif
    compositeLumaRow(y, terms, kept, count, offset);
}

void compositeChroma(std::uint8_t* c, const std::int32_t* terms, const std::int32_t* kept,
                     int count) {
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        return compositeChromaAvx2(c, terms, kept, count);
#endif
    compositeChromaRow(c, terms, kept, count);
}

}  // namespace

Yuv420Layer::Yuv420Layer(std::span<const Patch> patches, const ColorProperties& resolvedColor)
    : yOffset_(resolvedColor.isFullRange() ? 0 : 16) {
    const YuvCoefficients k = yuvCoefficientsFor(resolvedColor);
    const std::int32_t lumaBase = (yOffset_ << kLumaShift) + (1 << (kLumaShift - 1));
    const std::int32_t chromaBase = (128 << kChromaShift) + (1 << (kChromaShift - 1));
    for (const Patch& patch : patches) {
        // Whole squares only, from an even corner.
        const int left = (patch.left + 1) & ~1;
        const int top = (patch.top + 1) & ~1;
        const int width = (patch.left + patch.width - left) & ~1;
        const int height = (patch.top + patch.height - top) & ~1;
        if (width <= 0 || height <= 0)
            continue;
        Prepared p{left, top, width, height, {}, {}, {}, {}, {}};
        const std::size_t pixels = static_cast<std::size_t>(width) * height;
        p.lumaTerms.resize(pixels);
        p.lumaKept.resize(pixels);
        p.uTerms.resize(pixels / 4);
        p.vTerms.resize(pixels / 4);
        p.chromaKept.resize(pixels / 4);
        const auto pixelAt = [&](int x, int y) {
            return patch.bgra + static_cast<std::ptrdiff_t>(y - patch.top) * patch.stride +
                   (x - patch.left) * 4;
        };
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* s = pixelAt(left + x, top + y);
                const std::size_t i = static_cast<std::size_t>(y) * width + x;
                p.lumaTerms[i] = k.yb * s[0] + k.yg * s[1] + k.yr * s[2] + lumaBase;
                p.lumaKept[i] = rounded((255 - s[3]) * double(1 << kLumaShift) / 255);
            }
        }
        for (int y = 0; y < height; y += 2) {
            for (int x = 0; x < width; x += 2) {
                const std::uint8_t* s[4] = {
                    pixelAt(left + x, top + y), pixelAt(left + x + 1, top + y),
                    pixelAt(left + x, top + y + 1), pixelAt(left + x + 1, top + y + 1)};
                std::int32_t b = 0, g = 0, r = 0, a = 0;
                for (const std::uint8_t* pixel : s) {
                    b += pixel[0];
                    g += pixel[1];
                    r += pixel[2];
                    a += pixel[3];
                }
                const std::size_t i = static_cast<std::size_t>(y / 2) * (width / 2) + x / 2;
                p.uTerms[i] = k.ur * r + k.ug * g + k.ub * b + chromaBase;
                p.vTerms[i] = k.vr * r + k.vg * g + k.vb * b + chromaBase;
                p.chromaKept[i] = rounded((4 * 255 - a) * double(1 << kChromaShift) / (4 * 255));
            }
        }
        patches_.push_back(std::move(p));
    }
}

void Yuv420Layer::compositeOnto(AVFrame& picture, const SquareRun& run) const {
    if (run.rows < 2)
        return;
    for (const Prepared& p : patches_) {
        if (run.top < p.top || run.top >= p.top + p.height)
            continue;
        const int from = std::max(run.left, p.left);
        const int to = std::min(run.right, p.left + p.width) & ~1;
        if (from >= to)
            continue;
        const int count = to - from;
        const int y = run.top - p.top;
        for (int row = 0; row < 2; ++row) {
            const std::size_t at = static_cast<std::size_t>(y + row) * p.width + (from - p.left);
            compositeLuma(picture.data[0] +
                              static_cast<std::ptrdiff_t>(run.top + row) * picture.linesize[0] +
                              from,
                          &p.lumaTerms[at], &p.lumaKept[at], count, yOffset_);
        }
        const std::size_t at =
            static_cast<std::size_t>(y / 2) * (p.width / 2) + (from - p.left) / 2;
        const std::ptrdiff_t chromaRow = run.top / 2;
        compositeChroma(picture.data[1] + chromaRow * picture.linesize[1] + from / 2, &p.uTerms[at],
                        &p.chromaKept[at], count / 2);
        compositeChroma(picture.data[2] + chromaRow * picture.linesize[2] + from / 2, &p.vTerms[at],
                        &p.chromaKept[at], count / 2);
    }
}

}  // namespace skelder::media
