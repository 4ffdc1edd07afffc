#pragma once

// Drawing in frame coordinates (origin at the lower-left corner, y upwards) on a Cairo target
// whose rows run top to bottom. The conversion between the two lives here and nowhere else.

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "overlay/bgra_image.hpp"
#include "overlay/geometry.hpp"
#include "overlay/hud_signal.hpp"
#include "overlay/hud_text.hpp"

namespace skelder {

class HudCanvas {
  public:
    // `cr` draws on the target's pixels; `height` is the frame height in pixels. A canvas
    // without `cr` draws nothing and only collects where it would draw, so a caller can learn
    // which pixels a drawing needs before it has them.
    HudCanvas(cairo_t* cr, double width, double height, HudTextPainter& text)
        : cr_(cr), width_(width), height_(height), text_(text) {}

    // The signal every later colour is written in (SDR unless set).
    void setSignal(HudSignal signal) { signal_ = signal; }
    HudSignal signal() const { return signal_; }

    // Collects the pixel boxes every later drawing call may change (null: not collected).
    void collectDamage(std::vector<PixelBox>* damage) { damage_ = damage; }

    double width() const { return width_; }
    double height() const { return height_; }
    cairo_t* cairo() const { return cr_; }
    bool drawsPixels() const { return cr_ != nullptr; }

    // Frame point to target device point.
    double deviceX(double x) const { return x; }
    double deviceY(double y) const { return height_ - y; }

    void fillRect(const Rect& rect, const Rgba& colour);
    void fillCircle(Point centre, double radius, const Rgba& colour);
    void strokeCircle(Point centre, double radius, double lineWidth, const Rgba& colour);
    // One path of line segments, stroked once.
    void strokeLines(std::initializer_list<std::pair<Point, Point>> lines, double lineWidth,
                     const Rgba& colour);
    // A path through the points, stroked once with round joins and ends.
    void strokePolyline(std::span<const Point> points, double lineWidth, const Rgba& colour);
    void saveState();
    void restoreState();
    void clipToCircle(Point centre, double radius);

    // Composites an image (source-over) with its lower-left corner at a frame point. A canvas
    // that draws nothing takes a null image.
    void drawImage(cairo_surface_t* image, int imageWidth, int imageHeight, Point lowerLeft);
    // The same for an image of our own: composited straight onto the pixels given to
    // drawImagesOnto when it lies on whole pixels inside them (the same bytes as Cairo gives,
    // several times faster), else through its Cairo surface `surface`.
    void drawImage(const BgraImage& image, cairo_surface_t* surface, Point lowerLeft);
    // The target's own pixels, for a target whose device points are its pixels (no turn).
    void drawImagesOnto(const BgraFrame* pixels) { pixels_ = pixels; }
    // Limits the images composited onto those pixels to these device boxes (overlapping or
    // not): the rest of the target is not wanted. Null: no limit.
    void limitImagesTo(const std::vector<PixelBox>* boxes) { imageLimits_ = boxes; }

    std::optional<TextExtent> measureText(std::string_view text, const HudTextStyle& style) {
        return text_.measure(text, style);
    }
    void drawText(std::string_view text, const HudTextStyle& style, Point lowerLeft);

  private:
    void setColour(const Rgba& colour);
    // Adds a device-space box (rows from the top), grown by a pixel for antialiasing.
    void addDamage(double left, double top, double right, double bottom);
    void circlePath(Point centre, double radius);

    cairo_t* cr_;
    double width_;
    double height_;
    HudTextPainter& text_;
    std::vector<PixelBox>* damage_ = nullptr;
    const BgraFrame* pixels_ = nullptr;
    const std::vector<PixelBox>* imageLimits_ = nullptr;
    HudSignal signal_ = HudSignal::sdr;
};

}  // namespace skelder
