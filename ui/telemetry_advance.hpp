#pragma once

// The telemetry advance setting: how many milliseconds earlier the HUD shows the telemetry
// against the picture (negative values delay it).

#include <string>

namespace skelder::ui {

inline constexpr double kTelemetryAdvanceLimitMilliseconds = 1500;
inline constexpr double kTelemetryAdvanceStepMilliseconds = 10;
// One frame of 30-frames-per-second video.
inline constexpr double kTelemetryAdvanceFrameMilliseconds = 1000.0 / 30.0;

// "%+.0f ms": "+650 ms", "-33 ms"; a value that rounds to zero reads "+0 ms".
std::string telemetryAdvanceText(double milliseconds);

// The stepper: `steps` steps of 10 ms, kept within -1500...1500.
double steppedTelemetryAdvance(double milliseconds, int steps);
// "-1f" and "+1f": one frame earlier or later, stopping at the ends of the range.
double telemetryAdvanceOneFrameBack(double milliseconds);
double telemetryAdvanceOneFrameForward(double milliseconds);

}  // namespace skelder::ui
