#pragma once

#include <QImage>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/excluded_segments_mirror.hpp"
#include "app/highlight_analysis_failure.hpp"
#include "app/work_queue_state.hpp"
#include "highlights/segments.hpp"
#include "highlights/session.hpp"
#include "laps/lap_analysis.hpp"

namespace skelder {

// The laps of a file as they were found: with which start/finish line and from the file as it
// was then, so a moved line or a file changed on disk is analysed again.
struct FileLaps {
    // Shared, not copied: records travel into the removal history and back.
    std::shared_ptr<const laps::LapAnalysis> analysis;  // null when the analysis failed
    std::optional<std::string> failure;                 // why it failed
    std::optional<double> lineAtSeconds;                // the user's line; none: the default
    std::optional<FileStamp> stamp;
};

// Everything the model learned of one listed file beyond its scan status. A removal keeps
// the record whole in the removal history, so Undo brings all of it back at once.
struct FileResults {
    // The analysed highlight segments, ordered by start second; none until analysed.
    std::optional<std::vector<PlannedSegment>> segments;
    // The tier of every one of `segments`.
    HighlightTierMap tiers;
    // The segments the user left out of a reel; stored even when emptied again.
    std::optional<SegmentKeySet> exclusions;
    // At most 320 x 180; null until made.
    QImage thumbnail;
    std::optional<HighlightAnalysisFailure> analysisFailure;
    std::optional<FileLaps> laps;

    bool empty() const {
        return !segments && tiers.empty() && !exclusions && thumbnail.isNull() &&
               !analysisFailure && !laps;
    }
};

using FileResultsByPath = std::map<PathKey, FileResults>;

}  // namespace skelder
