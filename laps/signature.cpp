#include "laps/signature.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace skelder::laps {

namespace {

constexpr double kStraightSpeedMps = 15;
constexpr double kOffsetRangeMps2 = 3;
constexpr double kOffsetBinMps2 = 0.01;
constexpr double kOffsetKernelMps2 = 0.1;
constexpr double kWalkingPaceMps = 5;
constexpr double kTightestBendPerMetre = 0.2;

}  // namespace

double lateralOffsetOnStraights(const DriveSeries& series) {
    const auto bins = static_cast<std::size_t>(2 * kOffsetRangeMps2 / kOffsetBinMps2) + 1;
    std::vector<double> histogram(bins, 0.0);
    std::size_t counted = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double lateral = series.lateralMps2[i];
        if (series.speedMps[i] < kStraightSpeedMps || std::abs(lateral) >= kOffsetRangeMps2) {
            continue;
        }
        histogram[static_cast<std::size_t>((lateral + kOffsetRangeMps2) / kOffsetBinMps2)] += 1;
        ++counted;
    }
    if (counted < 100) {
        return 0;
    }
    const std::vector<double> density =
        gaussianSmoothed(histogram, kOffsetKernelMps2 / kOffsetBinMps2);
    const auto peak =
        static_cast<double>(std::max_element(density.begin(), density.end()) - density.begin());
    const double mode = (peak + 0.5) * kOffsetBinMps2 - kOffsetRangeMps2;
    // The mean of the readings near the mode is finer than the bins.
    double sum = 0;
    double count = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double lateral = series.lateralMps2[i];
        if (series.speedMps[i] >= kStraightSpeedMps && std::abs(lateral - mode) < 0.25) {
            sum += lateral;
            count += 1;
        }
    }
    return count > 0 ? sum / count : mode;
}

std::vector<double> curvaturePerMetre(const DriveSeries& series, double lateralOffsetMps2) {
    std::vector<double> curvature(series.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double speed = std::max(series.speedMps[i], kWalkingPaceMps);
        curvature[i] = std::clamp((series.lateralMps2[i] - lateralOffsetMps2) / (speed * speed),
                                  -kTightestBendPerMetre, kTightestBendPerMetre);
    }
    return curvature;
}

void limitToCircuitBends(std::vector<double>& bends) {
    if (bends.empty()) {
        return;
    }
    std::vector<double> sizes(bends.size());
    std::transform(bends.begin(), bends.end(), sizes.begin(),
                   [](double bend) { return std::abs(bend); });
    const auto percentile =
        sizes.begin() + static_cast<std::ptrdiff_t>(0.99 * static_cast<double>(sizes.size() - 1));
    std::nth_element(sizes.begin(), percentile, sizes.end());
    const double limit = 1.5 * *percentile;
    for (double& bend : bends) {
        bend = std::clamp(bend, -limit, limit);
    }
}

std::vector<double> gaussianSmoothed(std::span<const double> values, double sigmaSamples) {
    if (!(sigmaSamples > 0) || values.empty()) {
        return {values.begin(), values.end()};
    }
    const auto reach = static_cast<std::ptrdiff_t>(std::ceil(3 * sigmaSamples));
    std::vector<double> kernel(static_cast<std::size_t>(2 * reach + 1));
    for (std::ptrdiff_t k = -reach; k <= reach; ++k) {
        const double x = static_cast<double>(k) / sigmaSamples;
        kernel[static_cast<std::size_t>(k + reach)] = std::exp(-0.5 * x * x);
    }
    const auto n = static_cast<std::ptrdiff_t>(values.size());
    std::vector<double> smoothed(values.size());
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(-reach, -i);
        const std::ptrdiff_t to = std::min<std::ptrdiff_t>(reach, n - 1 - i);
        double sum = 0;
        double weight = 0;
        for (std::ptrdiff_t k = from; k <= to; ++k) {
            const double w = kernel[static_cast<std::size_t>(k + reach)];
            sum += w * values[static_cast<std::size_t>(i + k)];
            weight += w;
        }
        smoothed[static_cast<std::size_t>(i)] = sum / weight;
    }
    return smoothed;
}

}  // namespace skelder::laps
