#pragma once

#include <span>
#include <utility>
#include <vector>

#include "laps/drive_series.hpp"
#include "laps/lap_analysis.hpp"

namespace skelder::laps {

// The circuit's outline by dead reckoning over the complete laps (each a pair of distances
// driven, line to line): the bend of the road at every metre, the median of all laps where they
// are three or more, turned into a heading and walked. The lateral readings lose the recorder's
// constant offset first; the bends are then scaled so a lap turns exactly once round, and the
// walk's remaining gap is spread along it so the loop closes. Starts at the line, heading along
// +x; about one point per two metres, up to 600 points.
std::vector<MapPoint> circuitMap(const DriveSeries& series, double lateralOffsetMps2,
                                 std::span<const std::pair<double, double>> lapMetres);

}  // namespace skelder::laps
