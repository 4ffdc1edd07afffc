#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <stop_token>
#include <string>

namespace skelder {

// The one identity of a file in the model: its path key (core/path_key.hpp).
using PathKey = std::string;

// A running background task as the queues know it: a number that tells its report apart from
// the report of an earlier task for the same file, and the means to cancel it.
struct BackgroundTaskRecord {
    std::uint64_t id = 0;
    std::stop_source stop;
};

// The bookkeeping of the background work queues; touched on the main thread only.
struct WorkQueueState {
    int activeQuickScans = 0;
    int activeHighlightPreviews = 0;
    std::deque<PathKey> pendingQuickScanPaths;  // first in, first out
    std::deque<PathKey> pendingHighlightPreviewPaths;
    std::map<PathKey, BackgroundTaskRecord> quickScanTasksByPath;
    std::map<PathKey, BackgroundTaskRecord> highlightPreviewTasksByPath;
    // Raised whenever all highlight results are thrown away.
    std::int64_t highlightPreviewGeneration = 0;
    std::map<PathKey, BackgroundTaskRecord> thumbnailTasksByPath;
    // The laps of files whose highlights are analysed, one at a time.
    int activeLapAnalyses = 0;
    std::deque<PathKey> pendingLapAnalysisPaths;
    std::map<PathKey, BackgroundTaskRecord> lapAnalysisTasksByPath;
};

// Active counters never go below 0.
inline void decrementClamped(int& counter) {
    counter = std::max(counter - 1, 0);
}

}  // namespace skelder
