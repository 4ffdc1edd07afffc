#pragma once

// Laps from the recorder's own telemetry, without a position: the circuit's signature (the bend
// of the road, lateral acceleration over speed squared, laid out by the distance driven) repeats
// every lap whatever the speed, so its period is the lap length and one place of it is the
// start/finish line.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "telemetry/decisecond_grid.hpp"

namespace skelder::laps {

// Why a recording has no laps.
enum class NoLapsReason {
    tooShort,       // not enough distance to see a circuit twice
    noRepetition,   // the drive never comes back on itself: a road, a hill climb, an autocross
    noCompleteLap,  // the circuit repeats, but the line is crossed fewer than twice
};

// "the recording is too short to hold two laps", ...
std::string noLapsText(NoLapsReason reason);

// A complete lap, line to line. Times are telemetry seconds (decisecond d is d / 10 s).
struct Lap {
    int number = 0;  // 1 for the first complete lap
    double startSeconds = 0;
    double endSeconds = 0;
    bool best = false;  // the fastest complete lap (the first of equals)
    double topSpeedMps = 0;

    double timeSeconds() const { return endSeconds - startSeconds; }
};

// The out-lap before the first crossing, or the in-lap after the last.
struct PartialLap {
    double startSeconds = 0;
    double endSeconds = 0;
};

// A point of the circuit's outline in metres (x to the right, y up: seen from above).
struct MapPoint {
    double x = 0;
    double y = 0;
};

// One passage of the start/finish line.
struct LineCrossing {
    double seconds = 0;
    double distanceMetres = 0;  // driven since the first telemetry sample
};

struct LapOptions {
    // Puts the line where the car was at this moment (telemetry seconds). Without it the line
    // is at the end of the circuit's longest full-throttle stretch.
    std::optional<double> lineAtSeconds;
};

struct LapAnalysis {
    std::optional<NoLapsReason> noLaps;
    double lapLengthMetres = 0;
    std::vector<Lap> laps;
    std::optional<PartialLap> outLap;
    std::optional<PartialLap> inLap;
    // The outline in driving order, starting at the line; the loop is closed (the last point
    // comes back to the first).
    std::vector<MapPoint> map;
    std::vector<LineCrossing> crossings;
    // Distance driven at every decisecond of the grid, from its first key on.
    std::int64_t firstDecisecond = 0;
    std::vector<double> distanceMetres;

    const Lap* bestLap() const;
};

// Finds the laps of a recording from its decisecond grid (speed, lateral acceleration,
// throttle). Pure and thread-safe; a stop requested through `stop` ends it with
// CancellationError.
LapAnalysis analyseLaps(const DecisecondGrid& grid, const LapOptions& options = {},
                        std::stop_token stop = {});

}  // namespace skelder::laps
