#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "telemetry/decisecond_grid.hpp"

namespace skelder::laps {

// The channels the lap analysis reads, one value per decisecond, with the distance driven.
struct DriveSeries {
    static constexpr double kStepSeconds = 0.1;

    double firstSeconds = 0;
    std::vector<double> speedMps;
    std::vector<double> lateralMps2;  // positive to the right
    std::vector<double> throttle;
    // Distance driven from the first sample, by the trapezoid rule over the speed.
    std::vector<double> distanceMetres;

    std::size_t size() const { return speedMps.size(); }
    double totalDistanceMetres() const {
        return distanceMetres.empty() ? 0 : distanceMetres.back();
    }
    double secondsAt(double index) const { return firstSeconds + index * kStepSeconds; }
};

DriveSeries driveSeriesFrom(const DecisecondGrid& grid);

// Distance at a time, interpolated between samples and clamped to the recording.
double distanceAtSeconds(const DriveSeries& series, double seconds);

// The first moment the car has driven `metres`, interpolated between samples and clamped.
double secondsAtDistance(const DriveSeries& series, double metres);

// A per-sample channel laid out by distance: `count` values at origin, origin + step... metres
// driven, interpolated between the samples on either side (the first sample where the car
// stands).
std::vector<double> resampleByDistance(const DriveSeries& series, std::span<const double> channel,
                                       double originMetres, double stepMetres, std::size_t count);

}  // namespace skelder::laps
