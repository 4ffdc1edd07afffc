#pragma once

#include <cstdint>

namespace skelder::samples {

// Reproducible noise: the same seed, stream and index always give the same value, on every
// machine and in any call order.
class SeededNoise {
  public:
    explicit SeededNoise(std::uint64_t seed) : seed_(seed) {}

    // Uniform in [-1, 1) for one sample `index` of an independent `stream`.
    double uniform(std::uint64_t stream, std::uint64_t index) const;
    // A value in [0, 1) that stays fixed for a stream, e.g. a phase.
    double fraction(std::uint64_t stream) const;

  private:
    std::uint64_t seed_;
};

// The SplitMix64 finaliser: a well-mixed 64-bit hash.
std::uint64_t mix64(std::uint64_t value);

}  // namespace skelder::samples
