#include "overlay/lap_hud_elements.hpp"

#include <algorithm>
#include <vector>

namespace skelder::hud {
namespace {

constexpr Rgba kPanel = {0, 0, 0, 0.45};
constexpr Rgba kAhead = {0.2, 0.86, 0.36, 1};
constexpr Rgba kTrack = {1, 1, 1, 0.9};
constexpr Rgba kTrackEdge = {0, 0, 0, 0.55};
constexpr Rgba kCar = {1.0, 0.84, 0.2, 1};

HudTextStyle style(double size, HudFontWeight weight, double variationWeight, Rgba colour) {
    return {{false, size, weight, variationWeight}, colour, TextAlignment::left};
}

void drawTimer(HudCanvas& canvas, const HudLayout& layout, const laps::LapReading& reading,
               bool debugShown) {
    const double s = layout.s;
    const Rect panel = layout.lapTimerPanel(debugShown);
    canvas.fillRect(panel, kPanel);
    const HudTextStyle big = style(44 * s, HudFontWeight::bold, 680, white());
    canvas.drawText(lapTimerText(reading), big, {panel.x + 14 * s, panel.top() - 60 * s});
    const std::string record = lapRecordText(reading);
    if (!record.empty()) {
        const HudTextStyle small = style(20 * s, HudFontWeight::semibold, 560, white(0.85));
        canvas.drawText(record, small, {panel.x + 14 * s, panel.y + 10 * s});
    }
}

void drawGap(HudCanvas& canvas, const HudLayout& layout, double gapSeconds, bool debugShown,
             bool timerShown) {
    const double s = layout.s;
    const Rect box = layout.lapGapBox(debugShown, timerShown);
    canvas.fillRect(box, kPanel);
    const std::string text = lapGapText(gapSeconds);
    const Rgba colour = text.front() == '-' ? kAhead : text.front() == '+' ? systemRed() : white();
    const HudTextStyle gapStyle = style(42 * s, HudFontWeight::bold, 700, colour);
    if (const auto extent = canvas.measureText(text, gapStyle)) {
        canvas.drawText(
            text, gapStyle,
            {box.x + (box.width - extent->width) / 2, box.y + (box.height - extent->height) / 2});
    }
}

// The outline fitted into the box (its shape kept), the car's dot and, where the best lap was
// at the same time into the lap, a hollow dot.
void drawMap(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
             bool debugShown, bool rowShown) {
    const double s = layout.s;
    const Rect box = layout.lapMapBox(debugShown, rowShown);
    const auto& outline = content.clock->analysis().map;
    if (outline.size() < 2) {
        return;
    }
    double left = outline.front().x;
    double right = left;
    double bottom = outline.front().y;
    double top = bottom;
    for (const laps::MapPoint& point : outline) {
        left = std::min(left, point.x);
        right = std::max(right, point.x);
        bottom = std::min(bottom, point.y);
        top = std::max(top, point.y);
    }
    const double inner = box.width - 36 * s;
    const double scale = inner / std::max({right - left, top - bottom, 1.0});
    const Point centre{box.x + box.width / 2, box.y + box.height / 2};
    const auto place = [&](laps::MapPoint point) {
        return Point{centre.x + (point.x - (left + right) / 2) * scale,
                     centre.y + (point.y - (bottom + top) / 2) * scale};
    };
    std::vector<Point> path;
    path.reserve(outline.size());
    for (const laps::MapPoint& point : outline) {
        path.push_back(place(point));
    }
    canvas.fillRect(box, kPanel);
    canvas.strokePolyline(path, 7 * s, kTrackEdge);
    canvas.strokePolyline(path, 3 * s, kTrack);
    const laps::LapReading& reading = content.reading;
    if (reading.bestShare) {
        canvas.strokeCircle(place(content.clock->mapPointAt(*reading.bestShare)), 7 * s, 2.5 * s,
                            white(0.95));
    }
    const Point car = place(content.clock->mapPointAt(reading.share));
    canvas.fillCircle(car, 9 * s, black(0.6));
    canvas.fillCircle(car, 7 * s, kCar);
}

}  // namespace

void drawLapElements(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
                     bool debugShown) {
    const LapHudElements& show = content.elements;
    const laps::LapReading& reading = content.reading;
    if (show.timer) {
        drawTimer(canvas, layout, reading, debugShown);
    }
    const bool gapShown = show.gap && reading.gapSeconds.has_value();
    if (gapShown) {
        drawGap(canvas, layout, *reading.gapSeconds, debugShown, show.timer);
    }
    if (show.map && content.clock) {
        drawMap(canvas, layout, content, debugShown, show.timer || show.gap);
    }
}

}  // namespace skelder::hud
