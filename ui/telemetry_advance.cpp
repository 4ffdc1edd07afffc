#include "ui/telemetry_advance.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace skelder::ui {

std::string telemetryAdvanceText(double milliseconds) {
    std::string text = fmt::format("{:+.0f} ms", milliseconds);
    // A value just below zero (after frame steps there and back) must not read "-0 ms".
    if (text == "-0 ms") {
        text = "+0 ms";
    }
    return text;
}

double steppedTelemetryAdvance(double milliseconds, int steps) {
    return std::clamp(milliseconds + steps * kTelemetryAdvanceStepMilliseconds,
                      -kTelemetryAdvanceLimitMilliseconds, kTelemetryAdvanceLimitMilliseconds);
}

double telemetryAdvanceOneFrameBack(double milliseconds) {
    return std::max(milliseconds - kTelemetryAdvanceFrameMilliseconds,
                    -kTelemetryAdvanceLimitMilliseconds);
}

double telemetryAdvanceOneFrameForward(double milliseconds) {
    return std::min(milliseconds + kTelemetryAdvanceFrameMilliseconds,
                    kTelemetryAdvanceLimitMilliseconds);
}

}  // namespace skelder::ui
