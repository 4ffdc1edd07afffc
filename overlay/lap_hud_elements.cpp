#include "overlay/lap_hud_elements.hpp"

#include <algorithm>
#include <cmath>
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

// Where the outline goes in a square of `side` pixels (its shape kept, centred, a margin all
// round), in the square's own coordinates (y upwards).
struct MapFit {
    double scale = 1;
    double centreX = 0;
    double centreY = 0;
    double side = 0;

    MapFit(const std::vector<laps::MapPoint>& outline, double sidePixels, double s)
        : side(sidePixels) {
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
        scale = (side - 36 * s) / std::max({right - left, top - bottom, 1.0});
        centreX = (left + right) / 2;
        centreY = (bottom + top) / 2;
    }

    Point place(laps::MapPoint point) const {
        return {side / 2 + (point.x - centreX) * scale, side / 2 + (point.y - centreY) * scale};
    }
};

// The panel and the outline, into a square of its own.
void drawMapPanel(HudCanvas& canvas, const std::vector<laps::MapPoint>& outline, double s) {
    const MapFit fit(outline, canvas.width(), s);
    std::vector<Point> path;
    path.reserve(outline.size());
    for (const laps::MapPoint& point : outline) {
        path.push_back(fit.place(point));
    }
    canvas.fillRect({0, 0, canvas.width(), canvas.height()}, kPanel);
    canvas.strokePolyline(path, 7 * s, kTrackEdge);
    canvas.strokePolyline(path, 3 * s, kTrack);
}

// The map's panel (from the raster), the car's dot and, where the best lap was at the same
// time into the lap, a hollow dot.
void drawMap(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
             bool debugShown, bool rowShown, LapMapRaster& raster) {
    const double s = layout.s;
    const Rect box = layout.lapMapBox(debugShown, rowShown);
    const auto& outline = content.clock->analysis().map;
    if (outline.size() < 2) {
        return;
    }
    // On whole pixels, so the raster is copied, not resampled.
    const Point lowerLeft{std::round(box.x), std::round(box.y)};
    const int side = static_cast<int>(std::round(box.width));
    const BgraImage* image = canvas.drawsPixels() ? raster.render(content.clock, side, s) : nullptr;
    if (image != nullptr) {
        canvas.drawImage(*image, image->surface(), lowerLeft);
    } else {
        canvas.drawImage(nullptr, side, side, lowerLeft);
    }
    const MapFit fit(outline, side, s);
    const auto place = [&](laps::MapPoint point) {
        const Point inSquare = fit.place(point);
        return Point{lowerLeft.x + inSquare.x, lowerLeft.y + inSquare.y};
    };
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

const BgraImage* LapMapRaster::render(const std::shared_ptr<const laps::LapClock>& clock, int side,
                                      double s) {
    if (image_ && clock_ == clock && image_->width() == side && s_ == s) {
        return &*image_;
    }
    image_ = BgraImage::create(side, side);
    clock_ = clock;
    s_ = s;
    if (!image_) {
        return nullptr;
    }
    CairoPtr cr{cairo_create(image_->surface())};
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        image_.reset();
        return nullptr;
    }
    const auto text = makeCairoTextPainter();
    HudCanvas canvas(cr.get(), side, side, *text);
    drawMapPanel(canvas, clock->analysis().map, s);
    cairo_surface_flush(image_->surface());
    return &*image_;
}

void drawLapElements(HudCanvas& canvas, const HudLayout& layout, const LapHudContent& content,
                     bool debugShown, LapMapRaster& mapRaster) {
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
        drawMap(canvas, layout, content, debugShown, show.timer || show.gap, mapRaster);
    }
}

}  // namespace skelder::hud
