#pragma once

namespace skelder {

// The recorder's telemetry trails its picture by about this much, so the HUD shows each
// reading this much earlier by default (the "Telemetry Advance", in milliseconds).
inline constexpr double kDefaultTelemetryAdvanceMilliseconds = 650;

}  // namespace skelder
