#include "samples/seeded_noise.hpp"

namespace skelder::samples {

std::uint64_t mix64(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

double SeededNoise::uniform(std::uint64_t stream, std::uint64_t index) const {
    const std::uint64_t bits = mix64(mix64(seed_ ^ mix64(stream)) + index);
    // 53 random bits as a double in [0, 1), mapped to [-1, 1).
    return static_cast<double>(bits >> 11) * 0x1.0p-52 - 1.0;
}

double SeededNoise::fraction(std::uint64_t stream) const {
    return (uniform(stream, 0xF1C5ull) + 1.0) * 0.5;
}

}  // namespace skelder::samples
