#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace skelder::laps {

// One lap's stretch of the recording, as matched against the reference lap.
struct LapWindow {
    double start = 0;       // samples from the recording's start; before it for a lap
                            // already under way when the recording began
    double score = 0;       // how well the lap matches the reference
    double coverage = 0;    // share of the window the recording covers
    bool afterGap = false;  // the lap before it did not match
};

// Follows the reference lap through the recording: a window of `lapSamples` that matches the
// signature, then each next window about a lap further on, forwards and backwards, as long as
// the laps keep matching; a stretch that matches nothing (a detour, a long stop) is skipped.
// Ordered by start.
std::vector<LapWindow> findLapWindows(std::span<const double> signature, std::size_t lapSamples);

// The mean of a channel over the laps, one value per sample of the lap, each over the windows
// that cover it; empty when some sample of the lap is covered by none.
std::vector<double> meanOverWindows(std::span<const double> channel,
                                    const std::vector<LapWindow>& windows, std::size_t lapSamples);

}  // namespace skelder::laps

namespace skelder::laps {

// Whether every other window differs from the ones between: then each window is half a lap of
// a circuit whose two halves look alike, and the lap is two windows long. It takes two windows
// of each kind at least, and every one of them must lie clearly closer to the others of its
// kind than to the other kind.
bool alternateWindowsDiffer(std::span<const double> signature,
                            const std::vector<LapWindow>& windows, std::size_t lapSamples);

}  // namespace skelder::laps
