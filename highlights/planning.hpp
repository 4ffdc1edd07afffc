#pragma once

#include <span>
#include <string>
#include <vector>

#include "highlights/filter_mode.hpp"
#include "highlights/planner_parameters.hpp"
#include "highlights/segments.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// Stretches of sustained full throttle, then stretches of hard acceleration, each group in
// index order; the two groups may overlap.
std::vector<SecondRange> findForcedRanges(std::span<const TimestampedFeatureBucket> buckets,
                                          const HighlightPlannerParameters& parameters);

// The selected highlight segments ordered by start second. `scores` holds one score per
// bucket; with no buckets or a different count the result is empty.
std::vector<HighlightSegment> planHighlightSegments(
    std::span<const TimestampedFeatureBucket> buckets, std::span<const double> scores,
    HighlightFilterMode filterMode);
std::vector<HighlightSegment> planHighlightSegments(
    std::span<const TimestampedFeatureBucket> buckets, std::span<const double> scores,
    const HighlightPlannerParameters& parameters);

// The line shown when a plan selected nothing.
inline constexpr const char* kNoHighlightSegmentsLine =
    "No highlight segments selected from current score threshold";

// The segments as a fixed-width table with a summary line.
std::vector<std::string> highlightDebugLines(std::span<const HighlightSegment> segments);

}  // namespace skelder
