#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace skelder::laps {

// The sums of products of `pattern` laid over `signal` at every offset o, from
// -(pattern.size() - 1) to signal.size() - 1: result[o + pattern.size() - 1] is the sum over m of
// pattern[m] * signal[o + m] for the m where both exist. Computed with FFTW in O(n log n).
std::vector<double> crossCorrelation(std::span<const double> pattern,
                                     std::span<const double> signal);

// Running sums of squares: result[i] is the sum of values[0..i), so a window [a, b) has
// result[b] - result[a].
std::vector<double> prefixEnergy(std::span<const double> values);

}  // namespace skelder::laps
