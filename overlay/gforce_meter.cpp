#include "overlay/gforce_meter.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "overlay/hud_layout.hpp"

namespace skelder {
namespace {

constexpr std::size_t kMaxTrailPoints = 24;
constexpr Rgba kTrailColour{1.0, 0.84, 0.2, 1};

// A value in g clamped to the rim; non-finite values sit at the centre.
double onDisk(double valueG) {
    return std::isfinite(valueG) ? std::clamp(valueG, -1.0, 1.0) : 0.0;
}

struct MeterGeometry {
    Point centre;
    double r;

    explicit MeterGeometry(const HudCanvas& canvas)
        : centre{0.5 * canvas.width(), 0.54 * canvas.height()},
          r(0.36 * std::min(canvas.width(), canvas.height())) {}

    // Positive lateral g moves right, positive longitudinal g (accelerating) moves down.
    Point mapped(double lat, double lon) const {
        return {centre.x + r * onDisk(lat), centre.y - r * onDisk(lon)};
    }
};

// What every frame's meter shares: the disk, its rings and the crosshair.
void paintMeterFace(HudCanvas& canvas) {
    const MeterGeometry g(canvas);
    cairo_set_antialias(canvas.cairo(), CAIRO_ANTIALIAS_DEFAULT);
    canvas.fillCircle(g.centre, g.r, black(0.98));
    canvas.strokeCircle(g.centre, g.r, 1.5, white(0.45));
    canvas.strokeCircle(g.centre, 0.52 * g.r, 1, white(0.24));
    canvas.strokeLines({{{g.centre.x - g.r, g.centre.y}, {g.centre.x + g.r, g.centre.y}},
                        {{g.centre.x, g.centre.y - g.r}, {g.centre.x, g.centre.y + g.r}}},
                       1, white(0.22));
}

// The trail and the current dot over the face, clipped to the disk.
void paintMeterMarks(HudCanvas& canvas, std::span<const GForcePoint> history, double latG,
                     double lonG) {
    const MeterGeometry g(canvas);
    cairo_set_antialias(canvas.cairo(), CAIRO_ANTIALIAS_DEFAULT);
    // A mark clipped to a circle costs Cairo a mask of its own; one that stays two pixels
    // inside the rim looks the same without the clip.
    const auto mark = [&](Point at, double radius, const Rgba& colour) {
        const bool inside = std::hypot(at.x - g.centre.x, at.y - g.centre.y) + radius + 2 <= g.r;
        if (inside) {
            canvas.fillCircle(at, radius, colour);
            return;
        }
        canvas.saveState();
        canvas.clipToCircle(g.centre, g.r);
        canvas.fillCircle(at, radius, colour);
        canvas.restoreState();
    };
    if (history.size() >= 2) {
        const std::size_t n = std::min(history.size(), kMaxTrailPoints);
        const auto trail = history.last(n);
        for (std::size_t k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(n);
            Rgba colour = kTrailColour;
            colour.a = 0.08 + 0.34 * t;
            mark(g.mapped(trail[k - 1].latG, trail[k - 1].lonG), 2.4 + 1.6 * t, colour);
        }
    }
    const Point current = g.mapped(latG, lonG);
    mark(current, 7, {1.0, 0.84, 0.2, 0.65});
    mark(current, 3.8, {1.0, 0.93, 0.35, 0.98});
}

// The meter has no text; its canvas never measures or draws any.
class NoTextPainter final : public HudTextPainter {
  public:
    std::optional<TextExtent> measure(std::string_view, const HudTextStyle&) override {
        return std::nullopt;
    }
    void draw(HudCanvas&, std::string_view, const HudTextStyle&, Point) override {}
};

// Paints on an image through a canvas of its size.
template <class Paint>
void paintOn(BgraImage& image, Paint paint) {
    const CairoPtr cr{cairo_create(image.surface())};
    NoTextPainter noText;
    HudCanvas canvas(cr.get(), image.width(), image.height(), noText);
    paint(canvas);
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
        paintOn(*image, [&](HudCanvas& canvas) {
            paintMeterFace(canvas);
            paintMeterMarks(canvas, history, currentLatG, currentLonG);
        });
    }
    return image;
}

const BgraImage* GForceMeterRaster::render(std::span<const GForcePoint> history, double currentLatG,
                                           double currentLonG, int width, int height) {
    if (!image_ || image_->width() != width || image_->height() != height) {
        image_ = BgraImage::create(width, height);
        face_ = BgraImage::create(width, height);
        if (!image_ || !face_) {
            image_.reset();
            return nullptr;
        }
        paintOn(*face_, paintMeterFace);
    }
    // The face is painted once; each frame starts from a copy of it.
    cairo_surface_flush(image_->surface());
    std::memcpy(image_->data(), face_->data(),
                static_cast<std::size_t>(face_->stride()) * static_cast<std::size_t>(height));
    cairo_surface_mark_dirty(image_->surface());
    paintOn(*image_,
            [&](HudCanvas& canvas) { paintMeterMarks(canvas, history, currentLatG, currentLonG); });
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
