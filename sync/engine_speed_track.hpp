#pragma once

#include <span>
#include <vector>

#include "telemetry/decisecond_grid.hpp"

namespace skelder::sync {

// Below this engine speed the engine counts as stopped: there is no pitch to follow.
inline constexpr double kRunningEngineRpm = 500;

// A stretch of time in seconds, [startSeconds, endSeconds).
struct TimeStretch {
    double startSeconds = 0;
    double endSeconds = 0;
    double seconds() const { return endSeconds - startSeconds; }
};

// The natural log of the engine speed the HUD shows at a telemetry time: the decisecond grid
// interpolated linearly between deciseconds and held at its ends, as the HUD looks it up, with
// a stopped engine counted at kRunningEngineRpm. The grid must not be empty.
double hudLogRpmAt(const DecisecondGrid& grid, double seconds);

struct ChangingStretches {
    // Telemetry time around the deciseconds where the engine speed changes, in time order and
    // disjoint; the most active ones, at most the asked length in total.
    std::vector<TimeStretch> stretches;
    // How long the engine speed changes over the whole recording.
    double changingSeconds = 0;
};

// The engine speed changes at a decisecond when it changes by at least 0.5 % per decisecond
// (5 % a second) across the second around it, with the engine running. Changes less than 2 s apart
// form one stretch, which takes a second more on each side. When the stretches last longer than
// `longestSeconds`, they are cut into pieces of up to 20 s and the pieces with the most change are
// kept.
ChangingStretches findChangingStretches(const DecisecondGrid& grid, double longestSeconds);

// The HUD's log engine speed over [startSeconds, endSeconds] on a 1 ms grid, smoothed with
// `kernel` (weights for 1 ms steps, centred, summing to 1) the way the sound's analysis window
// smooths its pitch, so the two are compared at the same sharpness.
class SmoothedLogRpm {
  public:
    SmoothedLogRpm(const DecisecondGrid& grid, double startSeconds, double endSeconds,
                   std::span<const double> kernel);

    // Linear between the millisecond values; held outside the span.
    double at(double seconds) const;

  private:
    double startSeconds_;
    std::vector<double> values_;
};

}  // namespace skelder::sync
