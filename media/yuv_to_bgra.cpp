#include "media/yuv_to_bgra.hpp"

#include <algorithm>
#include <cmath>

#include "core/cpu_features.hpp"
#include "media/yuv_matrix.hpp"

#if defined(SKELDER_HAS_AVX2_PATH)
#include <immintrin.h>
#endif

namespace skelder::media {
namespace {

constexpr int kShift = 13;  // fractional bits of the coefficients
constexpr std::int32_t kRounding = 1 << (kShift - 1);

std::int16_t fixed(double value) {
    return static_cast<std::int16_t>(std::lround(value * (1 << kShift)));
}

std::uint8_t clampToByte(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

#if defined(SKELDER_HAS_AVX2_PATH)
__attribute__((target("avx2"))) __m256i pairsOf(std::int16_t first, std::int16_t second) {
    return _mm256_set1_epi32(static_cast<std::int32_t>(static_cast<std::uint16_t>(first)) |
                             (static_cast<std::int32_t>(static_cast<std::uint16_t>(second)) << 16));
}

// Sixteen 32-bit sums (as two halves of eight, see below) shifted down and packed to 16-bit
// values in pixel order.
__attribute__((target("avx2"))) __m256i toWords(__m256i low, __m256i high) {
    return _mm256_packs_epi32(_mm256_srai_epi32(low, kShift), _mm256_srai_epi32(high, kShift));
}

__attribute__((target("avx2"))) __m256i toByteRange(__m256i words) {
    return _mm256_min_epi16(_mm256_max_epi16(words, _mm256_setzero_si256()),
                            _mm256_set1_epi16(255));
}

// Sixteen pixels a step on processors that have AVX2, with the same integer sums as the plain
// loop. A row that is not a multiple of sixteen ends with a step overlapping the one before,
// which writes the same values again; steps start on even pixels, which begin a chroma
// sample. Returns the pixels done: all but the last of an odd row, none of a short one.
template <bool kHalfWidthChroma>
__attribute__((target("avx2"))) int rowAvx2(const std::uint8_t* __restrict y,
                                            const std::uint8_t* __restrict u,
                                            const std::uint8_t* __restrict v,
                                            std::uint8_t* __restrict bgra, int width,
                                            const RgbCoefficients& k) {
    const __m256i black = _mm256_set1_epi16(k.yOffset);
    const __m256i neutral = _mm256_set1_epi16(128);
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i rounding = _mm256_set1_epi32(kRounding);
    const __m256i toRed = pairsOf(k.y, k.rv);
    const __m256i toGreen = pairsOf(k.y, k.gu);
    const __m256i toGreenFromV = pairsOf(k.gv, static_cast<std::int16_t>(kRounding));
    const __m256i toBlue = pairsOf(k.y, k.bu);
    const __m256i opaque = _mm256_set1_epi16(static_cast<std::int16_t>(0xFF00));
    if (width < 16)
        return 0;
    const int last = kHalfWidthChroma ? (width - 16) & ~1 : width - 16;
    for (int x = 0;; x = std::min(x + 16, last)) {
        const __m256i ys = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x))), black);
        __m128i u16, v16;
        if constexpr (kHalfWidthChroma) {
            // Each chroma sample twice, for the two pixels it covers in this row.
            const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
            const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
            u16 = _mm_unpacklo_epi8(u8, u8);
            v16 = _mm_unpacklo_epi8(v8, v8);
        } else {
            u16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + x));
            v16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + x));
        }
        const __m256i us = _mm256_sub_epi16(_mm256_cvtepu8_epi16(u16), neutral);
        const __m256i vs = _mm256_sub_epi16(_mm256_cvtepu8_epi16(v16), neutral);
        // Interleaved pairs hold pixels 0-3 and 8-11 (low) or 4-7 and 12-15 (high); packing
        // the two sums back puts the pixels in order.
        const __m256i yvLow = _mm256_unpacklo_epi16(ys, vs), yvHigh = _mm256_unpackhi_epi16(ys, vs);
        const __m256i yuLow = _mm256_unpacklo_epi16(ys, us), yuHigh = _mm256_unpackhi_epi16(ys, us);
        const __m256i v1Low = _mm256_unpacklo_epi16(vs, ones),
                      v1High = _mm256_unpackhi_epi16(vs, ones);
        const __m256i red = toWords(_mm256_add_epi32(_mm256_madd_epi16(yvLow, toRed), rounding),
                                    _mm256_add_epi32(_mm256_madd_epi16(yvHigh, toRed), rounding));
        const __m256i green = toWords(_mm256_add_epi32(_mm256_madd_epi16(yuLow, toGreen),
                                                       _mm256_madd_epi16(v1Low, toGreenFromV)),
                                      _mm256_add_epi32(_mm256_madd_epi16(yuHigh, toGreen),
                                                       _mm256_madd_epi16(v1High, toGreenFromV)));
        const __m256i blue = toWords(_mm256_add_epi32(_mm256_madd_epi16(yuLow, toBlue), rounding),
                                     _mm256_add_epi32(_mm256_madd_epi16(yuHigh, toBlue), rounding));
        const __m256i blueGreen =
            _mm256_or_si256(toByteRange(blue), _mm256_slli_epi16(toByteRange(green), 8));
        const __m256i redAlpha = _mm256_or_si256(toByteRange(red), opaque);
        // Pixels 0-3 | 8-11 and 4-7 | 12-15, regrouped as 0-7 and 8-15.
        const __m256i low = _mm256_unpacklo_epi16(blueGreen, redAlpha);
        const __m256i high = _mm256_unpackhi_epi16(blueGreen, redAlpha);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bgra + 4 * x),
                            _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bgra + 4 * x + 32),
                            _mm256_permute2x128_si256(low, high, 0x31));
        if (x == last)
            return last + 16;
    }
}
#endif

template <bool kHalfWidthChroma>
void row(const std::uint8_t* __restrict y, const std::uint8_t* __restrict u,
         const std::uint8_t* __restrict v, std::uint8_t* __restrict bgra, int width,
         const RgbCoefficients& k) {
    int x = 0;
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        x = rowAvx2<kHalfWidthChroma>(y, u, v, bgra, width, k);
#endif
    for (; x < width; ++x) {
        const std::int32_t luma = k.y * (y[x] - k.yOffset);
        const int c = kHalfWidthChroma ? x / 2 : x;
        const std::int32_t cb = u[c] - 128;
        const std::int32_t cr = v[c] - 128;
        bgra[4 * x] = clampToByte((luma + k.bu * cb + kRounding) >> kShift);
        bgra[4 * x + 1] = clampToByte((luma + k.gu * cb + k.gv * cr + kRounding) >> kShift);
        bgra[4 * x + 2] = clampToByte((luma + k.rv * cr + kRounding) >> kShift);
        bgra[4 * x + 3] = 255;
    }
}

// One row of deep samples: the 8-bit sums scaled by 2^extraBits, so the rounding and the
// result are the 8-bit row's for samples that are 8-bit ones shifted up.
template <bool kHalfWidthChroma>
void deepRow(const std::uint16_t* __restrict y, const std::uint16_t* __restrict u,
             const std::uint16_t* __restrict v, std::uint8_t* __restrict bgra, int width,
             int extraBits, const RgbCoefficients& k) {
    const std::int32_t black = std::int32_t{k.yOffset} << extraBits;
    const std::int32_t neutral = 128 << extraBits;
    const std::int32_t rounding = kRounding << extraBits;
    const int shift = kShift + extraBits;
    for (int x = 0; x < width; ++x) {
        const std::int32_t luma = k.y * (y[x] - black);
        const int c = kHalfWidthChroma ? x / 2 : x;
        const std::int32_t cb = u[c] - neutral;
        const std::int32_t cr = v[c] - neutral;
        bgra[4 * x] = clampToByte((luma + k.bu * cb + rounding) >> shift);
        bgra[4 * x + 1] = clampToByte((luma + k.gu * cb + k.gv * cr + rounding) >> shift);
        bgra[4 * x + 2] = clampToByte((luma + k.rv * cr + rounding) >> shift);
        bgra[4 * x + 3] = 255;
    }
}

const std::uint16_t* wordsAt(const std::uint8_t* plane, std::ptrdiff_t row, int stride) {
    return reinterpret_cast<const std::uint16_t*>(plane + row * stride);
}

}  // namespace

RgbCoefficients rgbCoefficientsFor(const ColorProperties& color) {
    const auto [kr, kb] = lumaWeightsFor(color.matrix);
    const double kg = 1 - kr - kb;
    // Limited range puts luma on 16…235 and chroma on 16…240 (around 128).
    const bool full = color.isFullRange();
    const double lumaScale = full ? 1.0 : 255.0 / 219.0;
    const double chromaScale = full ? 1.0 : 255.0 / 224.0;
    const double rv = 2 * (1 - kr) * chromaScale;
    const double bu = 2 * (1 - kb) * chromaScale;
    return {fixed(lumaScale),
            static_cast<std::int16_t>(full ? 0 : 16),
            fixed(rv),
            fixed(-kb / kg * bu),
            fixed(-kr / kg * rv),
            fixed(bu)};
}

void convertYuvToBgra(const ConstYuvPlanes& in, ChromaLayout layout, std::uint8_t* bgra,
                      int bgraStride, int width, int rows, const RgbCoefficients& k) {
    const bool halfWidth = layout != ChromaLayout::k444;
    const int rowsPerChromaRow = layout == ChromaLayout::k420 ? 2 : 1;
    for (int r = 0; r < rows; ++r) {
        const std::ptrdiff_t chromaRow = r / rowsPerChromaRow;
        const std::uint8_t* y = in.y + static_cast<std::ptrdiff_t>(r) * in.yStride;
        const std::uint8_t* u = in.u + chromaRow * in.uStride;
        const std::uint8_t* v = in.v + chromaRow * in.vStride;
        std::uint8_t* out = bgra + static_cast<std::ptrdiff_t>(r) * bgraStride;
        if (halfWidth)
            row<true>(y, u, v, out, width, k);
        else
            row<false>(y, u, v, out, width, k);
    }
}

void convertDeepYuvToBgra(const ConstYuvPlanes& in, int bitDepth, ChromaLayout layout,
                          std::uint8_t* bgra, int bgraStride, int width, int rows,
                          const RgbCoefficients& k) {
    // Up to 12 bits the sums stay within 32 bits.
    const int extraBits = std::clamp(bitDepth, 8, 12) - 8;
    const bool halfWidth = layout != ChromaLayout::k444;
    const int rowsPerChromaRow = layout == ChromaLayout::k420 ? 2 : 1;
    for (int r = 0; r < rows; ++r) {
        const std::ptrdiff_t chromaRow = r / rowsPerChromaRow;
        const std::uint16_t* y = wordsAt(in.y, r, in.yStride);
        const std::uint16_t* u = wordsAt(in.u, chromaRow, in.uStride);
        const std::uint16_t* v = wordsAt(in.v, chromaRow, in.vStride);
        std::uint8_t* out = bgra + static_cast<std::ptrdiff_t>(r) * bgraStride;
        if (halfWidth)
            deepRow<true>(y, u, v, out, width, extraBits, k);
        else
            deepRow<false>(y, u, v, out, width, extraBits, k);
    }
}

}  // namespace skelder::media
