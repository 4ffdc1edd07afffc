#pragma once

#include <thread>

namespace skelder {

// How many frames are rendered at once and how often progress is reported.
struct ParallelExportConfig {
    int workerCount = 4;
    int queueDepth = 8;
    double progressUpdateInterval = 0.1;  // seconds

    // min(max(P − 1, 4), 8) workers for P active cores, a queue twice as deep, 0.1 s progress.
    static ParallelExportConfig defaults(
        unsigned activeCores = std::thread::hardware_concurrency()) {
        const int cores = static_cast<int>(activeCores == 0 ? 1 : activeCores);
        const int workers = std::min(std::max(cores - 1, 4), 8);
        return {workers, 2 * workers, 0.1};
    }

    // The number of render workers actually used: min(max(workers, 1), max(depth, 1)).
    int effectiveWorkerCount() const {
        return std::min(std::max(workerCount, 1), std::max(queueDepth, 1));
    }
};

}  // namespace skelder
