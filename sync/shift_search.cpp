#include "sync/shift_search.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/cancellation.hpp"

namespace skelder::sync {
namespace {

constexpr double kCoarseStepSeconds = 0.01;
constexpr double kFineStepSeconds = 0.001;

// Weighted correlation of the pitch changes with the telemetry's at one advance.
class Correlator {
  public:
    explicit Correlator(std::span<const AnalysedStretch> stretches) : stretches_(stretches) {
        for (const AnalysedStretch& stretch : stretches) {
            for (const PitchChange& c : stretch.changes) {
                weight_ += c.weight;
                sumX_ += c.weight * c.logChange;
                sumXX_ += c.weight * c.logChange * c.logChange;
            }
        }
    }

    // The changes vary: their weighted variance is more than rounding left of equal values.
    bool usable() const {
        return weight_ > 0 && weight_ * sumXX_ - sumX_ * sumX_ > 1e-9 * weight_ * sumXX_;
    }

    double at(double advanceSeconds) const {
        const double half = kPitchChangeSpanSeconds / 2;
        double sumY = 0;
        double sumYY = 0;
        double sumXY = 0;
        for (const AnalysedStretch& stretch : stretches_) {
            for (const PitchChange& c : stretch.changes) {
                if (c.weight == 0)
                    continue;
                const double t = c.seconds + advanceSeconds;
                const double y = stretch.telemetry.at(t + half) - stretch.telemetry.at(t - half);
                sumY += c.weight * y;
                sumYY += c.weight * y * y;
                sumXY += c.weight * c.logChange * y;
            }
        }
        const double varianceX = weight_ * sumXX_ - sumX_ * sumX_;
        const double varianceY = weight_ * sumYY - sumY * sumY;
        if (!(varianceX > 0) || !(varianceY > 0))
            return 0;
        return (weight_ * sumXY - sumX_ * sumY) / std::sqrt(varianceX * varianceY);
    }

  private:
    std::span<const AnalysedStretch> stretches_;
    double weight_ = 0;
    double sumX_ = 0;
    double sumXX_ = 0;
};

}  // namespace

std::optional<ShiftSearchResult> searchBestShift(std::span<const AnalysedStretch> stretches,
                                                 double rangeSeconds, const std::stop_token& stop) {
    if (!(rangeSeconds >= 0))
        throw std::invalid_argument("a shift search needs a range");
    const Correlator correlator(stretches);
    if (!correlator.usable())
        return std::nullopt;
    ShiftSearchResult result;
    const auto steps = static_cast<int>(std::floor(rangeSeconds / kCoarseStepSeconds + 1e-9));
    for (int k = -steps; k <= steps; ++k) {
        throwIfCancelled(stop);
        result.correlations.push_back(correlator.at(k * kCoarseStepSeconds));
    }
    const auto& rho = result.correlations;
    const auto peak =
        static_cast<std::size_t>(std::max_element(rho.begin(), rho.end()) - rho.begin());
    result.peakAtRangeEnd = peak == 0 || peak + 1 == rho.size();

    // The peak's lobe, and the best advance outside it.
    std::size_t left = peak;
    while (left > 0 && rho[left - 1] <= rho[left])
        --left;
    std::size_t right = peak;
    while (right + 1 < rho.size() && rho[right + 1] <= rho[right])
        ++right;
    for (std::size_t k = 0; k < rho.size(); ++k) {
        if (k < left || k > right)
            result.runnerUpCorrelation = std::max(result.runnerUpCorrelation, rho[k]);
    }

    // Millisecond steps around the coarse peak, then the vertex of the parabola through the best
    // one and its neighbours.
    const double coarse = (static_cast<double>(peak) - steps) * kCoarseStepSeconds;
    const int fineSteps = static_cast<int>(std::lround(kCoarseStepSeconds / kFineStepSeconds));
    double bestAdvance = coarse;
    double best = rho[peak];
    std::vector<double> fine(2 * fineSteps + 1);
    for (int k = -fineSteps; k <= fineSteps; ++k) {
        const double advance =
            std::clamp(coarse + k * kFineStepSeconds, -rangeSeconds, rangeSeconds);
        fine[static_cast<std::size_t>(k + fineSteps)] = correlator.at(advance);
    }
    throwIfCancelled(stop);
    const auto finePeak =
        static_cast<std::size_t>(std::max_element(fine.begin(), fine.end()) - fine.begin());
    if (fine[finePeak] > best) {
        best = fine[finePeak];
        bestAdvance = coarse + (static_cast<double>(finePeak) - fineSteps) * kFineStepSeconds;
        if (finePeak > 0 && finePeak + 1 < fine.size()) {
            const double l = fine[finePeak - 1];
            const double r = fine[finePeak + 1];
            const double curvature = l - 2 * best + r;
            if (curvature < 0)
                bestAdvance += 0.5 * (l - r) / curvature * kFineStepSeconds;
        }
    }
    result.offsetSeconds =
        std::clamp(std::round(bestAdvance * 1000) / 1000, -rangeSeconds, rangeSeconds);
    result.peakCorrelation = best;
    return result;
}

}  // namespace skelder::sync
