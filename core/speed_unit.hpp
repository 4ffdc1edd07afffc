#pragma once

// The unit the driver reads speeds in. Telemetry, JSON and CSV keep metres per second; only
// the texts a person reads (the HUD, the file list, the command line's lines) are converted.

#include <optional>
#include <string_view>

namespace skelder {

enum class SpeedUnit { mph, kmh };

inline constexpr SpeedUnit kDefaultSpeedUnit = SpeedUnit::mph;

inline constexpr double kMphPerMetrePerSecond = 2.2369362921;
inline constexpr double kKmhPerMetrePerSecond = 3.6;

// A speed in metres per second in the unit, not rounded.
inline constexpr double speedInUnit(double metresPerSecond, SpeedUnit unit) {
    return metresPerSecond *
           (unit == SpeedUnit::kmh ? kKmhPerMetrePerSecond : kMphPerMetrePerSecond);
}

// The unit after a figure in running text: "mph" or "km/h".
inline constexpr std::string_view speedUnitText(SpeedUnit unit) {
    return unit == SpeedUnit::kmh ? "km/h" : "mph";
}

// The HUD's label under the speed: "MPH" or "KM/H".
inline constexpr std::string_view speedUnitLabel(SpeedUnit unit) {
    return unit == SpeedUnit::kmh ? "KM/H" : "MPH";
}

// The name stored in the settings and given on the command line: "mph" or "kmh".
inline constexpr std::string_view speedUnitName(SpeedUnit unit) {
    return unit == SpeedUnit::kmh ? "kmh" : "mph";
}

// The unit of a stored or typed name; nothing for any other text.
inline constexpr std::optional<SpeedUnit> speedUnitNamed(std::string_view name) {
    if (name == "mph")
        return SpeedUnit::mph;
    if (name == "kmh")
        return SpeedUnit::kmh;
    return std::nullopt;
}

}  // namespace skelder
