#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "export/overlay_export_job.hpp"
#include "highlights/segments.hpp"
#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// A stretch of a recording's picture, in seconds of its video.
struct ReelRange {
    double startSeconds = 0;
    double endSeconds = 0;
};

// One input file of a reel: the segments to include, in reel order, and its telemetry.
struct HighlightsReelInput {
    std::filesystem::path inputURL;
    std::vector<PlannedSegment> highlightSegments;
    std::shared_ptr<const DecisecondGrid> overlaySamplesByDecisecond;
    // This recording's own telemetry advance; none: the reel's.
    std::optional<double> timeOffsetSeconds = std::nullopt;
    // Stretches to take instead of the segments (a lap, line to line), in reel order.
    std::vector<ReelRange> ranges = {};
    // The recording's laps, for the HUD's lap elements (null: none).
    std::shared_ptr<const laps::LapClock> lapClock = nullptr;
};

// The export job of a reel: every segment [startSecond, endSecond + 1) (or every range) of every
// input, clamped to its file and laid back to back, with the first input's orientation; every input
// keeps its source index and label even when it contributes no piece. Throws ExportError
// (missingVideoTrack, noHighlightsSelected), media::MediaError for files that cannot be
// opened, and CancellationError.
OverlayExportJob makeHighlightsReelJob(const std::vector<HighlightsReelInput>& inputs,
                                       const HighlightsOverlayOptions& overlayOptions,
                                       std::stop_token stop);

}  // namespace skelder
