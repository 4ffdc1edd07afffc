#include "overlay/lap_hud.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

#include "laps/lap_texts.hpp"

namespace skelder {

std::string lapTimerText(const laps::LapReading& reading) {
    const auto tenths =
        static_cast<std::int64_t>(std::floor(std::max(0.0, reading.lapSeconds) * 10 + 1e-6));
    const std::string time =
        fmt::format("{}:{:02}.{}", tenths / 600, tenths / 10 % 60, tenths % 10);
    switch (reading.kind) {
        case laps::LapReading::Kind::outLap:
            return "OUT  " + time;
        case laps::LapReading::Kind::inLap:
            return "IN  " + time;
        case laps::LapReading::Kind::lap:
            break;
    }
    return fmt::format("LAP {}  {}", reading.lapNumber, time);
}

std::string lapRecordText(const laps::LapReading& reading) {
    std::string text;
    if (reading.lastLapSeconds) {
        text = "LAST " + laps::lapTimeText(*reading.lastLapSeconds);
    }
    if (reading.bestLapSeconds) {
        text += (text.empty() ? "" : "  ") + std::string("BEST ") +
                laps::lapTimeText(*reading.bestLapSeconds);
    }
    return text;
}

std::string lapGapText(double gapSeconds) {
    const auto hundredths = static_cast<std::int64_t>(std::llround(gapSeconds * 100));
    if (hundredths == 0) {
        return "0.00";
    }
    const auto size = std::abs(hundredths);
    return fmt::format("{}{}.{:02}", hundredths < 0 ? '-' : '+', size / 100, size % 100);
}

}  // namespace skelder
