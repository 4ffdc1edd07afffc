#pragma once

#include <span>
#include <vector>

#include "laps/drive_series.hpp"

namespace skelder::laps {

// The constant lateral reading of a recorder mounted slightly tilted: the most common lateral
// acceleration at speed, where the car is mostly on straights. 0 when the car is rarely fast.
double lateralOffsetOnStraights(const DriveSeries& series);

// The bend of the road at every sample, 1/m, positive to the right: lateral acceleration (less
// the recorder's offset) over speed squared. Slow samples, whose quotient says little, count as
// driving at a walking pace, and the result is limited to the tightest hairpin's bend.
std::vector<double> curvaturePerMetre(const DriveSeries& series, double lateralOffsetMps2);

// Limits the bends to half as much again as the circuit's own sharpest (the 99th percentile of
// their size along the road), so a spin's wild readings, which are no bend of the road, cannot
// outweigh a lap's worth of real ones.
void limitToCircuitBends(std::vector<double>& bends);

// Gaussian smoothing with a standard deviation in samples; the ends use the part of the
// kernel that lies inside.
std::vector<double> gaussianSmoothed(std::span<const double> values, double sigmaSamples);

}  // namespace skelder::laps
