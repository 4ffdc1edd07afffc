#pragma once

// The lap elements of the HUD, beside the specified ones and never over them: the lap and its
// running time with the last and best laps, the live gap to the best lap, and the circuit's map
// with the car on it. Each is switched on by the user; all are off by default.

#include <memory>
#include <string>

#include "laps/lap_clock.hpp"

namespace skelder {

struct LapHudElements {
    bool timer = false;
    bool gap = false;
    bool map = false;

    bool any() const { return timer || gap || map; }
    friend bool operator==(const LapHudElements&, const LapHudElements&) = default;
};

// What one frame's lap elements show: the reading at the frame's instant and the recording's
// laps (for the map).
struct LapHudContent {
    LapHudElements elements;
    laps::LapReading reading;
    std::shared_ptr<const laps::LapClock> clock;
};

// "LAP 4  1:12.4" (the running time in tenths, as a stopwatch shows them: not rounded up),
// "OUT  0:45.2", "IN  0:32.1".
std::string lapTimerText(const laps::LapReading& reading);
// "LAST 1:13.205  BEST 1:12.871", either part only when known; empty when neither is.
std::string lapRecordText(const laps::LapReading& reading);
// "-0.42" ahead of the best, "+0.18" behind, "0.00" level (to the hundredth).
std::string lapGapText(double gapSeconds);

}  // namespace skelder
