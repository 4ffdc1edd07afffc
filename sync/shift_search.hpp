#pragma once

#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "sync/engine_speed_track.hpp"
#include "sync/pitch_change_track.hpp"

namespace skelder::sync {

// The sound's pitch changes over one stretch and the telemetry's smoothed log engine speed
// around it (covering the changes' times plus the search range on each side).
struct AnalysedStretch {
    std::vector<PitchChange> changes;
    SmoothedLogRpm telemetry;
};

struct ShiftSearchResult {
    double offsetSeconds = 0;  // the telemetry advance with the best correlation, to 1 ms
    double peakCorrelation = 0;
    // The highest correlation of an advance outside the peak's lobe (the advances around the
    // peak over which the correlation falls steadily); 0 when none is higher.
    double runnerUpCorrelation = 0;
    bool peakAtRangeEnd = false;  // the best advance is the first or last one tried
    // The correlation of every advance tried in 10 ms steps, from -range to +range.
    std::vector<double> correlations;
};

// For each telemetry advance o from -rangeSeconds to +rangeSeconds, the weighted correlation of
// the sound's pitch changes at t with the telemetry's log engine speed changes over the same
// span at t + o, in 10 ms steps, then in 1 ms steps around the best one, whose neighbours
// refine it between steps. Nothing when the weighted changes do not vary (fewer than two, or all
// alike): no shift lines them up better than another. Throws CancellationError.
std::optional<ShiftSearchResult> searchBestShift(std::span<const AnalysedStretch> stretches,
                                                 double rangeSeconds, const std::stop_token& stop);

}  // namespace skelder::sync
