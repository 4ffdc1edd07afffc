#include "media/bgra_to_yuv420.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/cpu_features.hpp"
#include "media/yuv_matrix.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(SKELDER_HAS_AVX2_PATH)
#include <immintrin.h>
#endif

namespace skelder::media {
namespace {

constexpr int kShift = 14;  // fractional bits of the coefficients
constexpr double kOne = 1 << kShift;

std::int32_t fixed(double value) {
    return static_cast<std::int32_t>(std::lround(value * kOne));
}

#if defined(__SSE2__)
// Sums the neighbouring pairs of 32-bit lanes of a and b: (a0 + a1, a2 + a3, b0 + b1, b2 + b3).
__m128i addLanePairs(__m128i a, __m128i b) {
    const __m128 fa = _mm_castsi128_ps(a);
    const __m128 fb = _mm_castsi128_ps(b);
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))));
}

// Four sums of weighted (b, g, r, a) pixels, shifted and clamped to bytes in the low lanes.
__m128i toBytes(__m128i sums, __m128i offset, int shift) {
    const __m128i values = _mm_sra_epi32(_mm_add_epi32(sums, offset), _mm_cvtsi32_si128(shift));
    const __m128i words = _mm_packs_epi32(values, values);
    return _mm_packus_epi16(words, words);
}
#endif

#if defined(SKELDER_HAS_AVX2_PATH)
// Sixteen pixels (luma) or eight squares (chroma) a step on processors that have AVX2, with
// the same sums as the loops below, which take the rest of the row.
__attribute__((target("avx2"))) __m256i weightsOf(std::int32_t b, std::int32_t g, std::int32_t r) {
    const auto w = [](std::int32_t v) { return static_cast<short>(v); };
    return _mm256_setr_epi16(w(b), w(g), w(r), 0, w(b), w(g), w(r), 0, w(b), w(g), w(r), 0, w(b),
                             w(g), w(r), 0);
}

// Eight weighted pixel sums, lane-ordered: pixels 0-3 in the low half, 4-7 in the high one.
__attribute__((target("avx2"))) __m256i eightSums(const std::uint8_t* bgra, __m256i weights) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgra));
    // Per half: pixels 0 and 1 (then 2 and 3) as (b·wb + g·wg, r·wr) pairs.
    const __m256i first = _mm256_madd_epi16(_mm256_unpacklo_epi8(pixels, zero), weights);
    const __m256i second = _mm256_madd_epi16(_mm256_unpackhi_epi8(pixels, zero), weights);
    return _mm256_hadd_epi32(first, second);
}

__attribute__((target("avx2"))) int lumaRowAvx2(const std::uint8_t* __restrict bgra,
                                                std::uint8_t* __restrict y, int width,
                                                const YuvCoefficients& k) {
    const __m256i weights = weightsOf(k.yb, k.yg, k.yr);
    const __m256i offsets = _mm256_set1_epi32((k.yOffset << kShift) + (1 << (kShift - 1)));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    // A row that is not a multiple of sixteen ends with a step overlapping the one before,
    // which writes the same values again.
    if (width < 16)
        return 0;
    const int last = width - 16;
    for (int x = 0;; x = std::min(x + 16, last)) {
        const __m256i low =
            _mm256_srai_epi32(_mm256_add_epi32(eightSums(bgra + 4 * x, weights), offsets), kShift);
        const __m256i high = _mm256_srai_epi32(
            _mm256_add_epi32(eightSums(bgra + 4 * x + 32, weights), offsets), kShift);
        // Words 0-3, 8-11 | 4-7, 12-15; bytes likewise, each half's four-byte groups twice.
        const __m256i words = _mm256_packs_epi32(low, high);
        const __m256i bytes = _mm256_packus_epi16(words, words);
        // Groups in the order 0-3, 4-7, 8-11, 12-15.
        const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), _mm256_castsi256_si128(ordered));
        if (x == last)
            return width;
    }
}

// The channel sums of four squares from four pixels of each row, as 16-bit (b, g, r, a) lanes:
// squares 0 and 1 in the low half, 2 and 3 in the high one.
__attribute__((target("avx2"))) __m256i fourSquares(const std::uint8_t* upper,
                                                    const std::uint8_t* lower) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower));
    const __m256i left =
        _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
    const __m256i right =
        _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
    return _mm256_add_epi16(_mm256_unpacklo_epi64(left, right), _mm256_unpackhi_epi64(left, right));
}

// Eight chroma samples, in order, from the channel sums of squares 0-3 and 4-7.
__attribute__((target("avx2"))) __m256i chromaSamples(__m256i first, __m256i second,
                                                      __m256i weights) {
    constexpr int shift = kShift + 2;
    const __m256i offsets = _mm256_set1_epi32((128 << shift) + (1 << (shift - 1)));
    // The sums come as squares 0, 1, 4, 5 | 2, 3, 6, 7.
    const __m256i order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    const __m256i sums =
        _mm256_hadd_epi32(_mm256_madd_epi16(first, weights), _mm256_madd_epi16(second, weights));
    return _mm256_permutevar8x32_epi32(_mm256_srai_epi32(_mm256_add_epi32(sums, offsets), shift),
                                       order);
}

__attribute__((target("avx2"))) int chromaRowAvx2(const std::uint8_t* __restrict top,
                                                  const std::uint8_t* __restrict bottom,
                                                  std::uint8_t* __restrict u,
                                                  std::uint8_t* __restrict v, int chromaWidth,
                                                  const YuvCoefficients& k) {
    const __m256i uWeights = weightsOf(k.ub, k.ug, k.ur);
    const __m256i vWeights = weightsOf(k.vb, k.vg, k.vr);
    // Likewise a row that is not a multiple of eight squares.
    if (chromaWidth < 8)
        return 0;
    const int last = chromaWidth - 8;
    for (int x = 0;; x = std::min(x + 8, last)) {
        const __m256i first = fourSquares(top + 8 * x, bottom + 8 * x);
        const __m256i second = fourSquares(top + 8 * x + 32, bottom + 8 * x + 32);
        // Words u0-3, v0-3 | u4-7, v4-7; bytes the same in each half's low eight.
        const __m256i words = _mm256_packs_epi32(chromaSamples(first, second, uWeights),
                                                 chromaSamples(first, second, vWeights));
        const __m256i bytes = _mm256_packus_epi16(words, words);
        const __m128i lowHalf = _mm256_castsi256_si128(bytes);
        const __m128i highHalf = _mm256_extracti128_si256(bytes, 1);
        const int u0 = _mm_cvtsi128_si32(lowHalf),
                  v0 = _mm_cvtsi128_si32(_mm_srli_si128(lowHalf, 4));
        const int u1 = _mm_cvtsi128_si32(highHalf),
                  v1 = _mm_cvtsi128_si32(_mm_srli_si128(highHalf, 4));
        std::memcpy(u + x, &u0, 4);
        std::memcpy(u + x + 4, &u1, 4);
        std::memcpy(v + x, &v0, 4);
        std::memcpy(v + x + 4, &v1, 4);
        if (x == last)
            return chromaWidth;
    }
}
#endif

// The vector paths below compute the same integer sums as the plain loops (pmaddwd multiplies
// 16-bit channels by 16-bit weights into exact 32-bit sums), so every byte matches.
void lumaRow(const std::uint8_t* __restrict bgra, std::uint8_t* __restrict y, int width,
             const YuvCoefficients& k) {
    const std::int32_t yr = k.yr, yg = k.yg, yb = k.yb;
    const std::int32_t offset = (k.yOffset << kShift) + (1 << (kShift - 1));
    int x = 0;
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        x = lumaRowAvx2(bgra, y, width, k);
#endif
#if defined(__SSE2__)
    const auto w16 = [](std::int32_t v) { return static_cast<short>(v); };
    const __m128i weights =
        _mm_setr_epi16(w16(yb), w16(yg), w16(yr), 0, w16(yb), w16(yg), w16(yr), 0);
    const __m128i offsets = _mm_set1_epi32(offset);
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 4 * x));
        // Per pixel: yb·b + yg·g and yr·r, then the two added.
        const __m128i first = _mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights);
        const __m128i second = _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights);
        const int bytes = _mm_cvtsi128_si32(toBytes(addLanePairs(first, second), offsets, kShift));
        std::memcpy(y + x, &bytes, 4);
    }
#endif
    for (; x < width; ++x) {
        const std::int32_t b = bgra[4 * x], g = bgra[4 * x + 1], r = bgra[4 * x + 2];
        const std::int32_t value = (yr * r + yg * g + yb * b + offset) >> kShift;
        y[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
}

// One row of chroma from two rows of pixels: each output sample from a 2 × 2 square.
void chromaRow(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom,
               std::uint8_t* __restrict u, std::uint8_t* __restrict v, int chromaWidth,
               const YuvCoefficients& k) {
    // The sums of four pixels carry two more bits.
    constexpr int shift = kShift + 2;
    constexpr std::int32_t offset = (128 << shift) + (1 << (shift - 1));
    const std::int32_t ur = k.ur, ug = k.ug, ub = k.ub, vr = k.vr, vg = k.vg, vb = k.vb;
    int x = 0;
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        x = chromaRowAvx2(top, bottom, u, v, chromaWidth, k);
#endif
#if defined(__SSE2__)
    const auto w16 = [](std::int32_t c) { return static_cast<short>(c); };
    const __m128i uWeights =
        _mm_setr_epi16(w16(ub), w16(ug), w16(ur), 0, w16(ub), w16(ug), w16(ur), 0);
    const __m128i vWeights =
        _mm_setr_epi16(w16(vb), w16(vg), w16(vr), 0, w16(vb), w16(vg), w16(vr), 0);
    const __m128i offsets = _mm_set1_epi32(offset);
    const __m128i zero = _mm_setzero_si128();
    // The channel sums of two squares (four pixels each) from two pixels of each row.
    const auto squares = [&](const std::uint8_t* upper, const std::uint8_t* lower) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower));
        // Columns summed over the two rows: pixels 0 and 1, then 2 and 3, as 16-bit lanes.
        const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i right = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        // Square 0 = pixels 0 + 1, square 1 = pixels 2 + 3.
        return _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
    };
    for (; x + 4 <= chromaWidth; x += 4) {
        const __m128i first = squares(top + 8 * x, bottom + 8 * x);
        const __m128i second = squares(top + 8 * x + 16, bottom + 8 * x + 16);
        const __m128i us =
            addLanePairs(_mm_madd_epi16(first, uWeights), _mm_madd_epi16(second, uWeights));
        const __m128i vs =
            addLanePairs(_mm_madd_epi16(first, vWeights), _mm_madd_epi16(second, vWeights));
        const int uBytes = _mm_cvtsi128_si32(toBytes(us, offsets, shift));
        const int vBytes = _mm_cvtsi128_si32(toBytes(vs, offsets, shift));
        std::memcpy(u + x, &uBytes, 4);
        std::memcpy(v + x, &vBytes, 4);
    }
#endif
    for (; x < chromaWidth; ++x) {
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
