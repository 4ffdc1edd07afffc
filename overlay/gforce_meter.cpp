#include "overlay/gforce_meter.hpp"

#include <algorithm>
#include <cmath>

#include "overlay/hud_layout.hpp"

namespace skelder {
namespace {

constexpr std::size_t kMaxTrailPoints = 24;
constexpr Rgba kTrailColour{1.0, 0.84, 0.2, 1};

// A value in g clamped to the rim; non-finite values sit at the centre.
double onDisk(double valueG) {
    return std::isfinite(valueG) ? std::clamp(valueG, -1.0, 1.0) : 0.0;
}

void paintMeter(HudCanvas& canvas, std::span<const GForcePoint> history, double latG, double lonG) {
    const double w = canvas.width();
    const double h = canvas.height();
    const Point centre{0.5 * w, 0.54 * h};
    const double r = 0.36 * std::min(w, h);
    const auto mapped = [&](double lat, double lon) {
        // Positive lateral g moves right, positive longitudinal g (accelerating) moves down.
        return Point{centre.x + r * onDisk(lat), centre.y - r * onDisk(lon)};
    };

    cairo_set_antialias(canvas.cairo(), CAIRO_ANTIALIAS_DEFAULT);
    canvas.fillCircle(centre, r, black(0.98));
    canvas.strokeCircle(centre, r, 1.5, white(0.45));
    canvas.strokeCircle(centre, 0.52 * r, 1, white(0.24));
    canvas.strokeLines({{{centre.x - r, centre.y}, {centre.x + r, centre.y}},
                        {{centre.x, centre.y - r}, {centre.x, centre.y + r}}},
                       1, white(0.22));

    canvas.saveState();
    canvas.clipToCircle(centre, r);
    if (history.size() >= 2) {
        const std::size_t n = std::min(history.size(), kMaxTrailPoints);
        const auto trail = history.last(n);
        for (std::size_t k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(n);
            Rgba colour = kTrailColour;
            colour.a = 0.08 + 0.34 * t;
            canvas.fillCircle(mapped(trail[k - 1].latG, trail[k - 1].lonG), 2.4 + 1.6 * t, colour);
        }
    }
    const Point current = mapped(latG, lonG);
    canvas.fillCircle(current, 7, {1.0, 0.84, 0.2, 0.65});
    canvas.fillCircle(current, 3.8, {1.0, 0.93, 0.35, 0.98});
    canvas.restoreState();
}

// The meter has no text; its canvas never measures or draws any.
class NoTextPainter final : public HudTextPainter {
  public:
    std::optional<TextExtent> measure(std::string_view, const HudTextStyle&) override {
        return std::nullopt;
    }
    void draw(HudCanvas&, std::string_view, const HudTextStyle&, Point) override {}
};

void paintMeterInto(BgraImage& image, std::span<const GForcePoint> history, double latG,
                    double lonG) {
    image.clear();
    const CairoPtr cr{cairo_create(image.surface())};
    NoTextPainter noText;
    HudCanvas canvas(cr.get(), image.width(), image.height(), noText);
    paintMeter(canvas, history, latG, lonG);
    cairo_surface_flush(image.surface());
}

struct DirectionLabel {
    double valueG;
    Point (*place)(Point centre, double radius, double gap, TextExtent extent);
};

}  // namespace

std::optional<BgraImage> makeGForceMeterImage(std::span<const GForcePoint> history,
                                              double currentLatG, double currentLonG, int width,
                                              int height) {
    auto image = BgraImage::create(width, height);
    if (image) {
        paintMeterInto(*image, history, currentLatG, currentLonG);
    }
    return image;
}

const BgraImage* GForceMeterRaster::render(std::span<const GForcePoint> history, double currentLatG,
                                           double currentLonG, int width, int height) {
    if (!image_ || image_->width() != width || image_->height() != height) {
        image_ = BgraImage::create(width, height);
        if (!image_) {
            return nullptr;
        }
    }
    paintMeterInto(*image_, history, currentLatG, currentLonG);
    return &*image_;
}

void drawGForcePanel(HudCanvas& composite, const OverlayRenderSample& renderSample, double s,
                     double m, GForceMeterRaster& raster) {
    const int w = std::max(static_cast<int>(std::nearbyint(170 * s)), 1);
    const int h = std::max(static_cast<int>(std::nearbyint(128 * s)), 1);
    const Point origin{m + 10 * s, m + 70 * s};
    const OverlayTelemetrySample& now = renderSample.telemetry;
    if (!composite.drawsPixels()) {
        composite.drawImage(nullptr, w, h, origin);  // where the meter goes, without painting it
    } else if (const BgraImage* meter =
                   raster.render(renderSample.gHistory, now.latG, now.lonG, w, h)) {
        composite.drawImage(meter->surface(), w, h, origin);
    }

    const Point centre{origin.x + 0.5 * w, origin.y + 0.54 * h};
    const double radius = 0.36 * std::min(w, h);
    const double gap = 9 * s;
    // Also turns -0.0 (a car at rest braking by "minus nothing") into 0.
    const auto positive = [](double value) {
        return std::isfinite(value) && value > 0 ? value : 0.0;
    };
    // up (braking), right, down (accelerating), left; each label centred on its point.
    const DirectionLabel labels[] = {
        {positive(-now.lonG),
         [](Point c, double r, double g, TextExtent e) {
             return Point{c.x, c.y + r + g + e.height / 2};
         }},
        {positive(now.latG),
         [](Point c, double r, double g, TextExtent e) {
             return Point{c.x + r + g + e.width / 2, c.y};
         }},
        {positive(now.lonG),
         [](Point c, double r, double g, TextExtent e) {
             return Point{c.x, c.y - r - g - e.height / 2};
         }},
        {positive(-now.latG),
         [](Point c, double r, double g, TextExtent e) {
             return Point{c.x - r - g - e.width / 2, c.y};
         }},
    };
    for (const DirectionLabel& label : labels) {
        const std::string text = gLabelText(label.valueG);
        const HudTextStyle style{{false, 13 * s, HudFontWeight::semibold, 520},
                                 gForceColour(label.valueG, 0.9),
                                 TextAlignment::right};
        if (const auto extent = composite.measureText(text, style)) {
            const Point middle = label.place(centre, radius, gap, *extent);
            composite.drawText(text, style,
                               {middle.x - extent->width / 2, middle.y - extent->height / 2});
        }
    }

    const std::string peak = peakGText(renderSample.heldPeakG);
    const HudTextStyle peakStyle{{false, 30 * s, HudFontWeight::semibold, 550},
                                 gForceColour(renderSample.heldPeakG, 0.95),
                                 TextAlignment::right};
    if (const auto extent = composite.measureText(peak, peakStyle)) {
        composite.drawText(peak, peakStyle, {m + 95 * s - extent->width / 2, m + 22 * s});
    }
}

}  // namespace skelder
