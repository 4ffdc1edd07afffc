#pragma once

// What the processor running us can do, for the vector loops that pick their widest path at
// run time. Files with an AVX2 path include <immintrin.h> under SKELDER_HAS_AVX2_PATH.

#if defined(__x86_64__) || defined(__i386__)
#define SKELDER_HAS_AVX2_PATH 1
#endif

namespace skelder {

inline bool hasAvx2() {
#if defined(SKELDER_HAS_AVX2_PATH)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

}  // namespace skelder
