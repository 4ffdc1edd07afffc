#pragma once

#include <vector>

#include "samples/drive_simulation.hpp"
#include "samples/speed_profile.hpp"

namespace skelder::samples {

// Events of a drive found in its noise-free 100 Hz signals.

// Every corner of the path the car enters and leaves within the signals.
std::vector<CornerPass> findCornerPasses(const std::vector<DriveState>& signals,
                                         const std::vector<PathPiece>& pieces);
// Stretches of at least 0.5 s with the throttle at exactly 1.
std::vector<FullThrottleRun> findFullThrottleRuns(const std::vector<DriveState>& signals);
// Stretches of at least 0.2 s with the brake pedal pressed (5% or more) while moving.
std::vector<BrakingZone> findBrakingZones(const std::vector<DriveState>& signals);

}  // namespace skelder::samples
