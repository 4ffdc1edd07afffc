#pragma once

// Where a recording stands in its laps at any moment: the lap and its running time, the last
// and best laps, the gap to the best lap at the same place of the lap, and the place on the
// circuit's map. What the HUD's lap elements show, frame by frame.

#include <optional>
#include <vector>

#include "laps/lap_analysis.hpp"

namespace skelder::laps {

struct LapReading {
    enum class Kind { outLap, lap, inLap };
    Kind kind = Kind::lap;
    int lapNumber = 0;                     // of a complete lap; 0 for the out-lap and the in-lap
    double lapSeconds = 0;                 // since the lap (or the partial lap) began
    std::optional<double> lastLapSeconds;  // the complete lap before this one
    std::optional<double> bestLapSeconds;  // the recording's best
    // This lap's time so far less the best lap's time to the same share of its length, on
    // complete laps of a recording with two or more: negative when ahead.
    std::optional<double> gapSeconds;
    double share = 0;  // where on the lap (0 at the line, towards 1), as on the map
    // Where the best lap was at the same time into the lap, on complete laps.
    std::optional<double> bestShare;
};

class LapClock {
  public:
    // Nothing to read when the analysis has no laps.
    explicit LapClock(LapAnalysis analysis);

    const LapAnalysis& analysis() const { return analysis_; }
    bool hasLaps() const { return analysis_.bestLap() != nullptr; }

    // The reading at a telemetry time; nothing without laps or outside the recording.
    std::optional<LapReading> at(double seconds) const;

    // The map's point at a share of the lap from the line, along the outline.
    MapPoint mapPointAt(double share) const;

  private:
    double distanceAt(double seconds) const;
    double secondsAt(double metres) const;

    LapAnalysis analysis_;
    std::vector<double> mapAlong_;     // distance along the map's outline to each point
    std::optional<std::size_t> best_;  // index into the laps
};

}  // namespace skelder::laps
