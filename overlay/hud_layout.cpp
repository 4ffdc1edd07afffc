#include "overlay/hud_layout.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace skelder {
namespace {

constexpr double kRpmScaleEnd = 7000;
constexpr double kSteeringLimitDeg = 540;

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

// For readouts printed without a sign: negative zero (and NaN) become a plain 0, which
// std::max(value, 0.0) would not do, so "-0" never appears.
double nonNegative(double value) {
    return value > 0 ? value : 0.0;
}

}  // namespace

double hudLayoutScale(double width, double height) {
    return std::max(0.4, std::min(width / 1920.0, height / 1080.0));
}

HudLayout HudLayout::forFrame(double width, double height) {
    HudLayout layout;
    layout.width = width;
    layout.height = height;
    const double s = hudLayoutScale(width, height);
    const double m = 26 * s;
    layout.s = s;
    layout.m = m;
    layout.right = width - m;
    layout.topBaseline = height - m - 170 * s;
    layout.gPanel = {m, m + 14 * s, 190 * s, 190 * s};
    layout.gPanelCentreY = m + 109 * s;
    // Scale labels, bar, gap and readout form one block centred on the G panel's centre line.
    layout.rpmBar = {0.22 * width, layout.gPanelCentreY - 34 * s, 0.56 * width, 52 * s};
    layout.steeringBox = {layout.right - 230 * s, layout.gPanelCentreY - 66 * s, 230 * s, 132 * s};
    return layout;
}

Rect HudLayout::brakeCell(int row) const {
    return {right - 358 * s, topBaseline + 52 * s + 20 * s * row, 90 * s, 14 * s};
}

Rect HudLayout::throttleCell(int row) const {
    return {right - 256 * s, topBaseline + 52 * s + 20 * s * row, 90 * s, 14 * s};
}

Rect HudLayout::debugPanel() const {
    return {22 * s, height - 108 * s, std::min(760 * s, 0.72 * width), 84 * s};
}

namespace {

// The top edge of the lap elements.
double lapTop(const HudLayout& layout, bool debugShown) {
    return debugShown ? layout.debugPanel().y - 14 * layout.s : layout.height - layout.m;
}

}  // namespace

Rect HudLayout::lapTimerPanel(bool debugShown) const {
    return {m, lapTop(*this, debugShown) - 104 * s, 400 * s, 104 * s};
}

Rect HudLayout::lapGapBox(bool debugShown, bool timerShown) const {
    const double x = timerShown ? m + 412 * s : m;
    return {x, lapTop(*this, debugShown) - 64 * s, 180 * s, 64 * s};
}

Rect HudLayout::lapMapBox(bool debugShown, bool rowShown) const {
    const double top = lapTop(*this, debugShown) - (rowShown ? 118 * s : 0);
    // A portrait picture has room down its side for a larger map.
    const double side = height > width ? 0.36 * width : 260 * s;
    return {m, top - side, side, side};
}

double displaySpeed(double speedMps, SpeedUnit unit) {
    return nonNegative(speedInUnit(finiteOrZero(speedMps), unit));
}

double displayRpm(double rpm) {
    return nonNegative(finiteOrZero(rpm));
}

double rpmFraction(double rpm) {
    return std::min(displayRpm(rpm) / kRpmScaleEnd, 1.0);
}

double clampedSteeringDeg(double steeringDeg) {
    if (std::isnan(steeringDeg)) {
        return -kSteeringLimitDeg;
    }
    return std::clamp(steeringDeg, -kSteeringLimitDeg, kSteeringLimitDeg);
}

std::string gearText(std::int64_t gear) {
    // Values below 1 and the code 13 are not gears the driver is in.
    return gear >= 1 && gear != 13 ? fmt::format("{}", gear) : "N";
}

std::string speedText(double speedMps, SpeedUnit unit) {
    return fmt::format("{:.0f}", displaySpeed(speedMps, unit));
}

std::string steeringText(double steeringDeg) {
    return fmt::format("{:+.0f}\u00b0", clampedSteeringDeg(steeringDeg));
}

std::string rpmReadoutText(double rpm) {
    return fmt::format("RPM {:.0f}", displayRpm(rpm));
}

std::string gLabelText(double valueG) {
    return fmt::format("{:.1f}", nonNegative(finiteOrZero(valueG)));
}

std::string peakGText(double peakG) {
    return fmt::format("{:.2f} G", nonNegative(finiteOrZero(peakG)));
}

Rgba gForceColour(double valueG, double alpha) {
    if (valueG > 0.9) {
        return {0.96, 0.24, 0.18, alpha};
    }
    if (valueG > 0.75) {
        return {1.0, 0.85, 0.22, alpha};
    }
    return white(alpha);
}

std::string debugSourceLine(const OverlayFrameDebugInfo& info) {
    // Wrapping arithmetic: the index is a small count in practice, never worth a crash.
    const auto number =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(info.sampleSourceIndex) + 1u);
    const std::string label = info.sampleSourceLabel.value_or(fmt::format("source_{}", number));
    return fmt::format("SRC {}  {}", number, label);
}

std::string debugTimingLine(const OverlayFrameDebugInfo& info) {
    return fmt::format("OUT {:.3f}s  MAP {:.3f}s  ADJ {:.3f}s  OFF {:+.3f}s", info.outputSeconds,
                       info.mappedSourceSeconds, info.adjustedSourceSeconds,
                       info.timeOffsetSeconds);
}

}  // namespace skelder
