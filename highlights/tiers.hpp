#pragma once

#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "highlights/segments.hpp"
#include "highlights/session.hpp"

namespace skelder {

// Joins the lenient and strict sessions of one file into one overlap-free list in which
// segments the strict plan found are `best` and the others `maybeAdditional`. The samples,
// file and size come from the lenient session; the lines are the preview lines of the list.
TieredTelemetrySession mergeTieredSegments(const TelemetrySession& lenient,
                                           const TelemetrySession& strict);

// The tiered result of "onlyBest": the strict session unchanged, every segment `best`.
TieredTelemetrySession allBestTiers(TelemetrySession strict);

// Walks segments ordered by start and keeps one of every two that overlap: a strict one
// over a lenient-only one, then the higher total score, the longer duration, the higher
// peak, the smaller start, the smaller end; otherwise the one already kept.
std::vector<PlannedSegment> resolveSegmentOverlaps(
    std::span<const PlannedSegment> segments,
    const std::unordered_set<PlannedSegmentKey>& strictKeys);

// One numbered line per segment and a summary line.
std::vector<std::string> highlightPreviewLines(std::span<const PlannedSegment> segments);

}  // namespace skelder
