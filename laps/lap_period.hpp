#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace skelder::laps {

struct LapPeriod {
    double lagSamples = 0;  // refined between samples
    double score = 0;       // 1 when the signature repeats exactly
};

// How well a signature matches itself shifted by a lag, for every lag: twice the sum of products
// over the sum of both parts' energies, so a repeat at another amplitude scores below 1 too.
// result[lag] for lag 0 .. size - 1.
std::vector<double> selfMatchScores(std::span<const double> signature);

// The lap of a circuit's signature: the lag from minLag to maxLag at which it best matches
// itself, or nothing when no lag matches well enough. A whole lap matches better than half of
// one on a circuit whose halves look alike, and two laps no better than one.
std::optional<LapPeriod> findLapPeriod(std::span<const double> signature, std::size_t minLag,
                                       std::size_t maxLag);

// The weighted match of a window of `pattern` against `signal` at a fractional offset:
// twice the weighted sum of products over the weighted sum of squares, on the part of the
// window that lies inside the signal. `coverage` receives the share of the pattern's weighted
// energy (its bends) that lies inside.
double windowMatch(std::span<const double> pattern, std::span<const double> weights,
                   std::span<const double> signal, double offset, double* coverage = nullptr);

}  // namespace skelder::laps
