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

    MeterGeometry(double width, double height)
        : centre{0.5 * width, 0.54 * height}, r(0.36 * std::min(width, height)) {}
    explicit MeterGeometry(const HudCanvas& canvas)
        : MeterGeometry(canvas.width(), canvas.height()) {}

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

// Lays a round mark on premultiplied BGRA pixels, inside the meter's disk: each pixel takes
// the share of it the mark covers, estimated from the distance of its centre to the mark's
// edge (and to the disk's), as an antialiased edge does. A Cairo fill costs about 8 µs a mark,
// and the 26 marks of every frame made the meter most of the HUD's drawing time.
void stampMark(BgraImage& image, const MeterGeometry& g, Point at, double radius,
               const Rgba& colour) {
    const int width = image.width();
    const int height = image.height();
    // Pixel space: x right, y down from the top row.
    const double cx = at.x;
    const double cy = height - at.y;
    const double diskX = g.centre.x;
    const double diskY = height - g.centre.y;
    const auto edgeCover = [](double reach, double distance) {
        return std::clamp(reach + 0.5 - distance, 0.0, 1.0);
    };
    // Most marks lie well inside the disk, whose edge then covers them whole.
    const bool nearRim = std::hypot(cx - diskX, cy - diskY) + radius + 2 > g.r;
    const int top = std::max(static_cast<int>(std::floor(cy - radius - 1)), 0);
    const int bottom = std::min(static_cast<int>(std::ceil(cy + radius + 1)), height);
    const int left = std::max(static_cast<int>(std::floor(cx - radius - 1)), 0);
    const int right = std::min(static_cast<int>(std::ceil(cx + radius + 1)), width);
    const double opacity = std::clamp(colour.a, 0.0, 1.0);
    const double colourBgr[3] = {std::clamp(colour.b, 0.0, 1.0), std::clamp(colour.g, 0.0, 1.0),
                                 std::clamp(colour.r, 0.0, 1.0)};
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* row = image.data() + static_cast<std::ptrdiff_t>(y) * image.stride();
        const double py = y + 0.5;
        for (int x = left; x < right; ++x) {
            const double px = x + 0.5;
            double cover =
                edgeCover(radius, std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy)));
            if (nearRim && cover > 0) {
                cover *= edgeCover(
                    g.r, std::sqrt((px - diskX) * (px - diskX) + (py - diskY) * (py - diskY)));
            }
            const double alpha = opacity * cover;
            if (alpha <= 0)
                continue;
            std::uint8_t* pixel = row + x * 4;
            for (int c = 0; c < 3; ++c) {
                const double source = colourBgr[c] * alpha * 255;
                pixel[c] = static_cast<std::uint8_t>(std::lround(source + pixel[c] * (1 - alpha)));
            }
            pixel[3] = static_cast<std::uint8_t>(std::lround(alpha * 255 + pixel[3] * (1 - alpha)));
        }
    }
}

// The trail and the current dot over the face, clipped to the disk.
void paintMeterMarks(BgraImage& image, std::span<const GForcePoint> history, double latG,
                     double lonG, HudSignal signal) {
    const MeterGeometry g(image.width(), image.height());
    cairo_surface_flush(image.surface());
    if (history.size() >= 2) {
        const std::size_t n = std::min(history.size(), kMaxTrailPoints);
        const auto trail = history.last(n);
        for (std::size_t k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(n);
            Rgba colour = kTrailColour;
            colour.a = 0.08 + 0.34 * t;
            stampMark(image, g, g.mapped(trail[k - 1].latG, trail[k - 1].lonG), 2.4 + 1.6 * t,
                      inHudSignal(signal, colour));
        }
    }
    const Point current = g.mapped(latG, lonG);
    stampMark(image, g, current, 7, inHudSignal(signal, {1.0, 0.84, 0.2, 0.65}));
    stampMark(image, g, current, 3.8, inHudSignal(signal, {1.0, 0.93, 0.35, 0.98}));
    cairo_surface_mark_dirty(image.surface());
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
void paintOn(BgraImage& image, HudSignal signal, Paint paint) {
    const CairoPtr cr{cairo_create(image.surface())};
    NoTextPainter noText;
    HudCanvas canvas(cr.get(), image.width(), image.height(), noText);
    canvas.setSignal(signal);
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
                                              int height, HudSignal signal) {
    auto image = BgraImage::create(width, height);
    if (image) {
        paintOn(*image, signal, paintMeterFace);
        paintMeterMarks(*image, history, currentLatG, currentLonG, signal);
    }
    return image;
}

const BgraImage* GForceMeterRaster::render(std::span<const GForcePoint> history, double currentLatG,
                                           double currentLonG, int width, int height,
                                           HudSignal signal) {
    if (!image_ || image_->width() != width || image_->height() != height ||
        faceSignal_ != signal) {
        image_ = BgraImage::create(width, height);
        face_ = BgraImage::create(width, height);
        if (!image_ || !face_) {
            image_.reset();
            return nullptr;
        }
        faceSignal_ = signal;
        paintOn(*face_, signal, paintMeterFace);
    }
    // The face is painted once; each frame starts from a copy of it.
    cairo_surface_flush(image_->surface());
    std::memcpy(image_->data(), face_->data(),
                static_cast<std::size_t>(face_->stride()) * static_cast<std::size_t>(height));
    cairo_surface_mark_dirty(image_->surface());
    paintMeterMarks(*image_, history, currentLatG, currentLonG, signal);
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
    } else if (const BgraImage* meter = raster.render(renderSample.gHistory, now.latG, now.lonG, w,
                                                      h, composite.signal())) {
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
