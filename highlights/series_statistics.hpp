#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace skelder {

// Lower nearest-rank percentile: the element at index trunc(fraction * (count - 1)) of the
// sorted values, without interpolation. The fraction is clamped to 0..1 (not a number counts
// as 0); no values give 0. Values that are not numbers sort above every number.
double percentileValue(std::span<const double> values, double fraction);

// Element i is the mean of the up to `window` elements ending at i. A window below 2 returns
// the values unchanged.
std::vector<double> trailingMean(std::span<const double> values, std::int64_t window);

}  // namespace skelder
