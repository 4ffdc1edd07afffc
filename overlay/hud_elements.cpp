#include "overlay/hud_elements.hpp"

#include <algorithm>
#include <string>

namespace skelder::hud {
namespace {

constexpr Rgba kBrakeBackground{0.4, 0.1, 0.1, 0.35};
constexpr Rgba kThrottleBackground{0.1, 0.4, 0.1, 0.35};
constexpr Rgba kBrakeLit{0.95, 0.18, 0.12, 1};
constexpr Rgba kThrottleLit{0.12, 0.85, 0.25, 1};
constexpr Rgba kRpmBarBody{0.03, 0.03, 0.04, 0.84};
constexpr int kRpmTicks = 15;
constexpr int kRpmScaleThousands = 7;

struct RpmZone {
    double from;
    double to;
    Rgba colour;
};
constexpr RpmZone kRpmZones[] = {
    {0.00, 0.58, {0.34, 0.78, 0.97, 0.88}},
    {0.58, 0.78, {0.16, 0.30, 0.38, 0.92}},
    {0.78, 0.90, {0.45, 0.42, 0.08, 0.92}},
    {0.90, 1.00, {0.82, 0.18, 0.12, 0.95}},
};

HudTextStyle style(bool monospaced, double size, HudFontWeight weight, double variationWeight,
                   Rgba colour, TextAlignment alignment) {
    return {{monospaced, size, weight, variationWeight}, colour, alignment};
}

// Measures the text, asks `place` for its lower-left corner and draws it; left out when it
// cannot be measured.
template <typename Place>
void placeText(HudCanvas& canvas, const std::string& text, const HudTextStyle& textStyle,
               Place place) {
    if (const auto extent = canvas.measureText(text, textStyle)) {
        canvas.drawText(text, textStyle, place(*extent));
    }
}

// Lights one pedal cell: the part of `value` x 5 beyond `row`, at most fully.
void drawLitCell(HudCanvas& canvas, const Rect& cell, double value, int row, Rgba colour) {
    if (value * 5 > row) {
        colour.a = std::min(value * 5 - row, 1.0);
        canvas.fillRect(cell, colour);
    }
}

}  // namespace

void drawPedalBackground(HudCanvas& canvas, const HudLayout& layout, int row) {
    canvas.fillRect(layout.brakeCell(row), kBrakeBackground);
    canvas.fillRect(layout.throttleCell(row), kThrottleBackground);
}

void drawSpeedUnitLabel(HudCanvas& canvas, const HudLayout& layout, SpeedUnit unit) {
    const double s = layout.s;
    placeText(canvas, std::string(speedUnitLabel(unit)),
              style(true, 34 * s, HudFontWeight::medium, 470, white(0.92), TextAlignment::right),
              [&](TextExtent e) {
                  return Point{(layout.width - e.width) / 2, layout.topBaseline - 38 * s};
              });
}

void drawSteeringPanel(HudCanvas& canvas, const HudLayout& layout) {
    const double s = layout.s;
    const Rect& box = layout.steeringBox;
    canvas.fillRect(box, black(0.4));
    placeText(canvas, "STEER",
              style(true, 20 * s, HudFontWeight::semibold, 580, white(), TextAlignment::left),
              [&](TextExtent) {
                  return Point{box.x + 10 * s, box.top() - 34 * s};
              });
}

void drawRpmBody(HudCanvas& canvas, const HudLayout& layout) {
    const Rect& bar = layout.rpmBar;
    canvas.fillRect(bar, kRpmBarBody);
    for (const RpmZone& zone : kRpmZones) {
        canvas.fillRect(
            {bar.x + bar.width * zone.from, bar.y, bar.width * (zone.to - zone.from), bar.height},
            zone.colour);
    }
    const double tickWidth = std::max(2 * layout.s, 1.0);
    for (int i = 0; i < kRpmTicks; ++i) {
        const double centre = bar.x + bar.width * i / (kRpmTicks - 1);
        canvas.fillRect({centre - tickWidth / 2, bar.y, tickWidth, bar.height}, black(0.55));
    }
}

void drawRpmScale(HudCanvas& canvas, const HudLayout& layout) {
    const Rect& bar = layout.rpmBar;
    for (int i = 0; i <= kRpmScaleThousands; ++i) {
        const Rgba colour = i >= 6 ? systemRed() : white(0.9);
        const double centre = bar.x + bar.width * i / kRpmScaleThousands;
        placeText(
            canvas, std::to_string(i),
            style(false, 16 * layout.s, HudFontWeight::semibold, 530, colour, TextAlignment::right),
            [&](TextExtent e) {
                return Point{centre - e.width / 2, bar.y - 24 * layout.s};
            });
    }
}

void drawGear(HudCanvas& canvas, const HudLayout& layout, std::int64_t gear) {
    const double s = layout.s;
    const std::string text = gearText(gear);
    HudTextStyle textStyle =
        style(false, 138 * s, HudFontWeight::bold, 700, black(0.7), TextAlignment::centre);
    const auto extent = canvas.measureText(text, textStyle);
    if (!extent) {
        return;
    }
    const Point at{layout.right - extent->width, layout.topBaseline};
    canvas.drawText(text, textStyle, {at.x + 2 * s, at.y - 2 * s});
    textStyle.colour = white();
    canvas.drawText(text, textStyle, at);
}

void drawPedalLevels(HudCanvas& canvas, const HudLayout& layout, int row, double brake,
                     double throttle) {
    drawLitCell(canvas, layout.brakeCell(row), brake, row, kBrakeLit);
    drawLitCell(canvas, layout.throttleCell(row), throttle, row, kThrottleLit);
}

void drawSpeed(HudCanvas& canvas, const HudLayout& layout, double speedMps, SpeedUnit unit) {
    const double s = layout.s;
    const std::string text = speedText(speedMps, unit);
    HudTextStyle textStyle =
        style(false, 128 * s, HudFontWeight::bold, 700, black(0.75), TextAlignment::right);
    const auto extent = canvas.measureText(text, textStyle);
    if (!extent) {
        return;
    }
    const Point at{(layout.width - extent->width) / 2, layout.topBaseline};
    canvas.drawText(text, textStyle, {at.x + 2 * s, at.y - 2 * s});
    textStyle.colour = white();
    canvas.drawText(text, textStyle, at);
}

void drawSteeringAngle(HudCanvas& canvas, const HudLayout& layout, double steeringDeg) {
    const double s = layout.s;
    const Rect& box = layout.steeringBox;
    placeText(canvas, steeringText(steeringDeg),
              style(false, 56 * s, HudFontWeight::bold, 680, white(), TextAlignment::left),
              [&](TextExtent) {
                  return Point{box.x + 10 * s, box.y + layout.m};
              });
}

void drawRpmMarker(HudCanvas& canvas, const HudLayout& layout, double rpm) {
    const double s = layout.s;
    const Rect& bar = layout.rpmBar;
    const double width = std::max(3 * s, 1.0);
    const double centre = bar.x + rpmFraction(rpm) * bar.width;
    canvas.fillRect({centre - width / 2, bar.y - 3 * s, width, bar.height + 6 * s}, white(0.95));
}

void drawRpmReadout(HudCanvas& canvas, const HudLayout& layout, double rpm) {
    const Rect& bar = layout.rpmBar;
    placeText(
        canvas, rpmReadoutText(rpm),
        style(false, 30 * layout.s, HudFontWeight::semibold, 560, white(), TextAlignment::right),
        [&](TextExtent e) {
            return Point{bar.x + bar.width / 2 - e.width / 2, bar.top() + 10 * layout.s};
        });
}

void drawDebugPanel(HudCanvas& canvas, const HudLayout& layout, const OverlayFrameDebugInfo& info) {
    const double s = layout.s;
    const Rect panel = layout.debugPanel();
    canvas.fillRect(panel, {0.02, 0.02, 0.02, 0.68});
    placeText(canvas, debugSourceLine(info),
              style(true, 18 * s, HudFontWeight::semibold, 540, white(0.97), TextAlignment::left),
              [&](TextExtent) {
                  return Point{panel.x + 12 * s, panel.top() - 34 * s};
              });
    placeText(canvas, debugTimingLine(info),
              style(false, 17 * s, HudFontWeight::regular, 420, white(0.95), TextAlignment::left),
              [&](TextExtent) {
                  return Point{panel.x + 12 * s, panel.y + 10 * s};
              });
}

}  // namespace skelder::hud
