#pragma once

#include <optional>
#include <string>

#include "core/speed_unit.hpp"
#include "core/telemetry_advance.hpp"
#include "export/app_export_workflow.hpp"
#include "overlay/lap_hud.hpp"

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

// The lap elements of the HUD, each a switch: all off until the user turns them on.
inline constexpr const char* kLapTimerKey = "lapHudTimer";
inline constexpr const char* kLapGapKey = "lapHudGap";
inline constexpr const char* kLapMapKey = "lapHudMap";
// The exported frame's shape: vertical (9:16) for phones, its crop following the bends.
inline constexpr const char* kVerticalVideoKey = "verticalVideo";
inline constexpr const char* kCropFollowsBendsKey = "cropFollowsBends";

// Where the user put each recording's start/finish line, in telemetry seconds: one value per
// path key in this group. Kept when the file leaves the list, so it is there when it comes back.
inline constexpr const char* kStartFinishLineGroup = "startFinishLineSeconds";

// The stored offset when it is a finite number (a number, or a text that reads as one in
// full, as settings files store numbers); otherwise the default.
double readOverlayTimeOffsetMilliseconds(const QSettings& settings);

// The stored switch when it is a boolean (also the texts "true" and "false" and the numbers
// 0 and 1, as settings files store them); otherwise the default.
bool readOverlayTimingDebugHUDEnabled(const QSettings& settings);

// The stored unit when it is one of the two names; otherwise mph.
SpeedUnit readSpeedUnit(const QSettings& settings);

// Each switch as readOverlayTimingDebugHUDEnabled reads its own; off when not stored.
LapHudElements readLapHudElements(const QSettings& settings);
VideoShape readVideoShape(const QSettings& settings);

// The recording's stored line when it is a finite number; otherwise none (the default place).
std::optional<double> readStartFinishLineSeconds(const QSettings& settings,
                                                 const std::string& pathKey);

// Store a value and write the settings file at once.
void writeOverlayTimeOffsetMilliseconds(QSettings& settings, double milliseconds);
void writeOverlayTimingDebugHUDEnabled(QSettings& settings, bool enabled);
void writeSpeedUnit(QSettings& settings, SpeedUnit unit);
void writeLapHudElements(QSettings& settings, const LapHudElements& elements);
void writeVideoShape(QSettings& settings, const VideoShape& shape);
// None forgets the recording's line.
void writeStartFinishLineSeconds(QSettings& settings, const std::string& pathKey,
                                 std::optional<double> seconds);

}  // namespace skelder
