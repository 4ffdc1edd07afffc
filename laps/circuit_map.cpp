#include "laps/circuit_map.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "laps/signature.hpp"

namespace skelder::laps {

namespace {

constexpr std::size_t kMostPoints = 600;
constexpr double kPointSpacingMetres = 2;
constexpr std::size_t kReadingsPerPoint = 4;

double median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1) {
        return *middle;
    }
    return 0.5 * (*middle + *std::max_element(values.begin(), middle));
}

}  // namespace

std::vector<MapPoint> circuitMap(const DriveSeries& series, double lateralOffsetMps2,
                                 std::span<const std::pair<double, double>> lapMetres) {
    if (lapMetres.empty()) {
        return {};
    }
    double meanLength = 0;
    for (const auto& [start, end] : lapMetres) {
        meanLength += (end - start) / static_cast<double>(lapMetres.size());
    }
    const std::size_t points = std::clamp<std::size_t>(
        static_cast<std::size_t>(meanLength / kPointSpacingMetres), 16, kMostPoints);
    const std::size_t readings = points * kReadingsPerPoint;
    const double step = meanLength / static_cast<double>(readings);
    const std::vector<double> curvature = curvaturePerMetre(series, lateralOffsetMps2);

    // Every lap's bends at the same shares of its length, then the median (or mean) of the laps.
    std::vector<std::vector<double>> laps;
    for (const auto& [start, end] : lapMetres) {
        laps.push_back(resampleByDistance(series, curvature, start,
                                          (end - start) / static_cast<double>(readings), readings));
    }
    std::vector<double> bend(readings);
    std::vector<double> across(laps.size());
    for (std::size_t j = 0; j < readings; ++j) {
        for (std::size_t k = 0; k < laps.size(); ++k) {
            across[k] = laps[k][j];
        }
        bend[j] = median(across);
    }

    // One turn round, whichever way the circuit runs.
    double turn = 0;
    for (const double value : bend) {
        turn += value * step;
    }
    if (std::abs(turn) > 0.1) {
        const double scale = std::copysign(2 * std::numbers::pi, turn) / turn;
        for (double& value : bend) {
            value *= scale;
        }
    }

    // Walk it: a bend to the right turns the heading clockwise.
    std::vector<MapPoint> walk(readings + 1);
    double heading = 0;
    for (std::size_t j = 0; j < readings; ++j) {
        const double middleHeading = heading - 0.5 * bend[j] * step;
        walk[j + 1] = {walk[j].x + step * std::cos(middleHeading),
                       walk[j].y + step * std::sin(middleHeading)};
        heading -= bend[j] * step;
    }
    const MapPoint gap = walk.back();
    std::vector<MapPoint> map;
    map.reserve(points + 1);
    for (std::size_t j = 0; j <= readings; j += kReadingsPerPoint) {
        const double share = static_cast<double>(j) / static_cast<double>(readings);
        map.push_back({walk[j].x - share * gap.x, walk[j].y - share * gap.y});
    }
    return map;
}

}  // namespace skelder::laps
