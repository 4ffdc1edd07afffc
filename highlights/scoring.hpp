#pragma once

#include <span>
#include <vector>

#include "highlights/filter_mode.hpp"
#include "highlights/planner_parameters.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// One score per second (higher is more interesting) from that second's bucket and from
// statistics of the whole recording. The buckets are the contiguous per-second sequence.
std::vector<double> scoreHighlightSeconds(std::span<const FeatureBucket> buckets,
                                          HighlightFilterMode filterMode);
std::vector<double> scoreHighlightSeconds(std::span<const FeatureBucket> buckets,
                                          const HighlightPlannerParameters& parameters);

}  // namespace skelder
