#include "laps/drive_series.hpp"

#include <algorithm>
#include <cmath>

namespace skelder::laps {

namespace {

constexpr double kStandardGravity = 9.80665;

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

DriveSeries driveSeriesFrom(const DecisecondGrid& grid) {
    DriveSeries series;
    series.firstSeconds = static_cast<double>(grid.firstKey()) * DriveSeries::kStepSeconds;
    const auto& samples = grid.samples();
    series.speedMps.reserve(samples.size());
    series.lateralMps2.reserve(samples.size());
    series.throttle.reserve(samples.size());
    series.distanceMetres.reserve(samples.size());
    double distance = 0;
    for (const OverlayTelemetrySample& sample : samples) {
        const double speed = std::max(0.0, finiteOrZero(sample.speedMps));
        if (!series.speedMps.empty()) {
            distance += 0.5 * (series.speedMps.back() + speed) * DriveSeries::kStepSeconds;
        }
        series.speedMps.push_back(speed);
        series.lateralMps2.push_back(finiteOrZero(sample.latG) * kStandardGravity);
        series.throttle.push_back(finiteOrZero(sample.throttle));
        series.distanceMetres.push_back(distance);
    }
    return series;
}

double distanceAtSeconds(const DriveSeries& series, double seconds) {
    if (series.size() == 0) {
        return 0;
    }
    const double index = (seconds - series.firstSeconds) / DriveSeries::kStepSeconds;
    if (!(index > 0)) {
        return series.distanceMetres.front();
    }
    const auto last = static_cast<double>(series.size() - 1);
    if (index >= last) {
        return series.distanceMetres.back();
    }
    const auto i = static_cast<std::size_t>(index);
    const double u = index - static_cast<double>(i);
    return series.distanceMetres[i] + u * (series.distanceMetres[i + 1] - series.distanceMetres[i]);
}

double secondsAtDistance(const DriveSeries& series, double metres) {
    const std::vector<double>& distance = series.distanceMetres;
    if (distance.empty()) {
        return series.firstSeconds;
    }
    if (!(metres > distance.front())) {
        return series.secondsAt(0);
    }
    if (metres >= distance.back()) {
        // The last moment the car moved, not the end of a stop after it.
        const auto last = std::lower_bound(distance.begin(), distance.end(), distance.back());
        return series.secondsAt(static_cast<double>(last - distance.begin()));
    }
    const auto upper = std::lower_bound(distance.begin(), distance.end(), metres);
    const auto i = static_cast<std::size_t>(upper - distance.begin()) - 1;
    const double span = distance[i + 1] - distance[i];
    const double u = span > 0 ? (metres - distance[i]) / span : 0.0;
    return series.secondsAt(static_cast<double>(i) + u);
}

std::vector<double> resampleByDistance(const DriveSeries& series, std::span<const double> channel,
                                       double originMetres, double stepMetres, std::size_t count) {
    std::vector<double> values(count, 0.0);
    const std::vector<double>& distance = series.distanceMetres;
    if (distance.empty()) {
        return values;
    }
    std::size_t i = static_cast<std::size_t>(std::max<std::ptrdiff_t>(
        0,
        (std::lower_bound(distance.begin(), distance.end(), originMetres) - distance.begin()) - 1));
    for (std::size_t j = 0; j < count; ++j) {
        const double metres = originMetres + static_cast<double>(j) * stepMetres;
        while (i + 1 < distance.size() && distance[i + 1] < metres) {
            ++i;
        }
        if (i + 1 >= distance.size()) {
            values[j] = channel[distance.size() - 1];
            continue;
        }
        // The first sample of a stop, so a standing car adds nothing.
        const double span = distance[i + 1] - distance[i];
        const double u = span > 0 ? std::clamp((metres - distance[i]) / span, 0.0, 1.0) : 0.0;
        values[j] = channel[i] + u * (channel[i + 1] - channel[i]);
    }
    return values;
}

}  // namespace skelder::laps
