#include "overlay/source_over.hpp"

#include <algorithm>

#include "core/cpu_features.hpp"
#if defined(SKELDER_HAS_AVX2_PATH)
#include <immintrin.h>
#endif

namespace skelder {
namespace {

// x · y / 255, rounded as Cairo rounds it.
std::uint32_t multiplyBytes(std::uint32_t x, std::uint32_t y) {
    const std::uint32_t t = x * y + 0x80;
    return (t + (t >> 8)) >> 8;
}

#if defined(SKELDER_HAS_AVX2_PATH)
// The target's 16-bit channels times (255 - the source pixel's alpha) / 255, rounded as
// multiplyBytes rounds ((t · 257) >> 16 equals (t + (t >> 8)) >> 8 for these t).
__attribute__((target("avx2"))) __m256i keptPart(__m256i channels, __m256i source,
                                                 __m256i alphaOrder) {
    const __m256i clearness =
        _mm256_xor_si256(_mm256_shuffle_epi8(source, alphaOrder), _mm256_set1_epi16(0x00FF));
    const __m256i t =
        _mm256_add_epi16(_mm256_mullo_epi16(channels, clearness), _mm256_set1_epi16(0x80));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(0x0101));
}

// Eight pixels a step on processors that have AVX2, with the same sums as the plain loop;
// returns the pixels done. Steps whose source pixels are all clear leave the target alone.
__attribute__((target("avx2"))) int rowAvx2(const std::uint8_t* __restrict source,
                                            std::uint8_t* __restrict target, int width) {
    const __m256i zero = _mm256_setzero_si256();
    // Each pixel's alpha in the four 16-bit lanes of that pixel, as unpacking bytes lays
    // pixels out: (0, 1) and (4, 5) in the low unpack, (2, 3) and (6, 7) in the high one.
    const __m256i lowAlphas =
        _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1, 3, -1, 3, -1, 3,
                         -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1);
    const __m256i highAlphas =
        _mm256_setr_epi8(11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1, 11, -1, 11,
                         -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        if (_mm256_testz_si256(s, s))
            continue;  // premultiplied: clear pixels are all zero and change nothing
        __m256i* out = reinterpret_cast<__m256i*>(target + 4 * x);
        const __m256i d = _mm256_loadu_si256(out);
        const __m256i low = keptPart(_mm256_unpacklo_epi8(d, zero), s, lowAlphas);
        const __m256i high = keptPart(_mm256_unpackhi_epi8(d, zero), s, highAlphas);
        _mm256_storeu_si256(out, _mm256_adds_epu8(s, _mm256_packus_epi16(low, high)));
    }
    return x;
}
#endif

void row(const std::uint8_t* __restrict source, std::uint8_t* __restrict target, int width) {
    int x = 0;
#if defined(SKELDER_HAS_AVX2_PATH)
    if (hasAvx2())
        x = rowAvx2(source, target, width);
#endif
    for (; x < width; ++x) {
        const std::uint8_t* s = source + 4 * x;
        std::uint8_t* d = target + 4 * x;
        const std::uint32_t keep = 255 - s[3];
        for (int c = 0; c < 4; ++c)
            d[c] = static_cast<std::uint8_t>(
                std::min<std::uint32_t>(s[c] + multiplyBytes(d[c], keep), 255));
    }
}

}  // namespace

void compositeSourceOver(const std::uint8_t* source, int sourceStride, std::uint8_t* target,
                         int targetStride, int width, int rows) {
    for (int r = 0; r < rows; ++r) {
        row(source + static_cast<std::ptrdiff_t>(r) * sourceStride,
            target + static_cast<std::ptrdiff_t>(r) * targetStride, width);
    }
}

}  // namespace skelder
