#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "highlights/filter_mode.hpp"
#include "highlights/segments.hpp"
#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// The analysis of one file under one filter mode. Sessions are copied out of the cache and
// handed between threads, so the (large) overlay samples are shared and never modified.
struct TelemetrySession {
    std::filesystem::path inputURL;
    std::uint64_t fileSizeBytes = 0;
    // The debug table, an empty line, "timing debug" and the timing report; in a tiered
    // session the preview lines instead.
    std::vector<std::string> highlightSegmentLines;
    // Ordered by start second.
    std::vector<PlannedSegment> highlightSegments;
    // Never null; an empty grid when there are no samples.
    std::shared_ptr<const DecisecondGrid> overlaySamplesByDecisecond =
        std::make_shared<const DecisecondGrid>();
};

using HighlightTierMap = std::unordered_map<PlannedSegmentKey, HighlightTier>;

// A session with the tier of every one of its segments.
struct TieredTelemetrySession {
    TelemetrySession session;
    HighlightTierMap tiers;
};

}  // namespace skelder
