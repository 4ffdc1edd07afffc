#include "laps/lap_period.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "laps/correlation.hpp"

namespace skelder::laps {

namespace {

// Below this a signature does not repeat: a road, a hill climb, an autocross.
constexpr double kRepetitionScore = 0.5;
// How much worse than the best lag the lap itself may match.
constexpr double kMultipleTolerance = 0.1;

double parabolicPeak(double left, double centre, double right) {
    const double curvature = left - 2 * centre + right;
    if (curvature >= 0) {
        return 0;
    }
    return std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
}

}  // namespace

std::vector<double> selfMatchScores(std::span<const double> signature) {
    const std::size_t n = signature.size();
    const std::vector<double> products = crossCorrelation(signature, signature);
    const std::vector<double> energy = prefixEnergy(signature);
    const double meanEnergy = n > 0 ? energy[n] / static_cast<double>(n) : 0.0;
    std::vector<double> scores(n, 0.0);
    for (std::size_t lag = 0; lag < n; ++lag) {
        const double head = energy[n - lag];
        const double tail = energy[n] - energy[lag];
        // A little energy for every sample keeps flat stretches from matching by accident.
        const double floor = 0.05 * meanEnergy * static_cast<double>(n - lag);
        const double denominator = head + tail + floor;
        scores[lag] = denominator > 0 ? 2 * products[n - 1 + lag] / denominator : 0.0;
    }
    return scores;
}

std::optional<LapPeriod> findLapPeriod(std::span<const double> signature, std::size_t minLag,
                                       std::size_t maxLag) {
    if (minLag < 2 || maxLag <= minLag || maxLag + 1 >= signature.size()) {
        return std::nullopt;
    }
    const std::vector<double> scores = selfMatchScores(signature);
    const auto strongest =
        std::max_element(scores.begin() + static_cast<std::ptrdiff_t>(minLag),
                         scores.begin() + static_cast<std::ptrdiff_t>(maxLag) + 1);
    if (*strongest < kRepetitionScore) {
        return std::nullopt;
    }
    // Two or three laps at once match about as well as one (sometimes a little better, when the
    // overlap leaves out a slow lap): the lap is the first lag that matches nearly as well as the
    // best, and the top of its own peak.
    const double enough = *strongest - kMultipleTolerance;
    std::size_t best = static_cast<std::size_t>(strongest - scores.begin());
    for (std::size_t lag = minLag; lag <= maxLag; ++lag) {
        if (scores[lag] >= enough) {
            best = lag;
            while (best < maxLag && scores[best + 1] >= scores[best]) {
                ++best;
            }
            break;
        }
    }
    if (best <= minLag || best >= maxLag) {
        best = static_cast<std::size_t>(strongest - scores.begin());
    }
    const double score = scores[best];
    const double refined =
        static_cast<double>(best) + parabolicPeak(scores[best - 1], score, scores[best + 1]);
    return LapPeriod{refined, score};
}

double windowMatch(std::span<const double> pattern, std::span<const double> weights,
                   std::span<const double> signal, double offset, double* coverage) {
    const double base = std::floor(offset);
    const double u = offset - base;
    const auto start = static_cast<std::ptrdiff_t>(base);
    const auto n = static_cast<std::ptrdiff_t>(signal.size());
    double products = 0;
    double squares = 0;
    double inside = 0;
    double total = 0;
    for (std::size_t m = 0; m < pattern.size(); ++m) {
        const double w = weights[m];
        const double energy = w * pattern[m] * pattern[m];
        total += energy;
        const std::ptrdiff_t i = start + static_cast<std::ptrdiff_t>(m);
        if (i < 0 || i + 1 >= n) {
            continue;
        }
        const double value = signal[static_cast<std::size_t>(i)] * (1 - u) +
                             signal[static_cast<std::size_t>(i + 1)] * u;
        products += w * pattern[m] * value;
        squares += w * (pattern[m] * pattern[m] + value * value);
        inside += energy;
    }
    if (coverage != nullptr) {
        *coverage = total > 0 ? inside / total : 0.0;
    }
    return squares > 0 ? 2 * products / squares : 0.0;
}

}  // namespace skelder::laps
