#pragma once

#include "core/speed_unit.hpp"
#include "core/telemetry_advance.hpp"

class QSettings;

namespace skelder {

// The persisted user settings and their defaults: the two of the HUD's timing, and the unit
// speeds are shown in.
inline constexpr const char* kOverlayTimeOffsetMillisecondsKey = "overlayTimeOffsetMilliseconds";
inline constexpr const char* kOverlayTimingDebugHUDEnabledKey = "overlayTimingDebugHUDEnabled";
inline constexpr double kDefaultOverlayTimeOffsetMilliseconds =
    kDefaultTelemetryAdvanceMilliseconds;
inline constexpr bool kDefaultOverlayTimingDebugHUDEnabled = false;
// Stored as the text "mph" or "kmh".
inline constexpr const char* kSpeedUnitKey = "speedUnit";

// The stored offset when it is a finite number (a number, or a text that reads as one in
// full, as settings files store numbers); otherwise the default.
double readOverlayTimeOffsetMilliseconds(const QSettings& settings);

// The stored switch when it is a boolean (also the texts "true" and "false" and the numbers
// 0 and 1, as settings files store them); otherwise the default.
bool readOverlayTimingDebugHUDEnabled(const QSettings& settings);

// The stored unit when it is one of the two names; otherwise mph.
SpeedUnit readSpeedUnit(const QSettings& settings);

// Store a value and write the settings file at once.
void writeOverlayTimeOffsetMilliseconds(QSettings& settings, double milliseconds);
void writeOverlayTimingDebugHUDEnabled(QSettings& settings, bool enabled);
void writeSpeedUnit(QSettings& settings, SpeedUnit unit);

}  // namespace skelder
