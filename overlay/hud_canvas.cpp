#include "overlay/hud_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "overlay/source_over.hpp"

namespace skelder {

void HudCanvas::setColour(const Rgba& sdrColour) {
    const Rgba colour = inHudSignal(signal_, sdrColour);
    cairo_set_source_rgba(cr_, colour.r, colour.g, colour.b, colour.a);
}

void HudCanvas::addDamage(double left, double top, double right, double bottom) {
    if (damage_ == nullptr)
        return;
    const auto clampTo = [](double value, double limit) {
        return static_cast<int>(std::clamp(value, 0.0, limit));
    };
    const PixelBox box{clampTo(std::floor(left) - 1, width_), clampTo(std::floor(top) - 1, height_),
                       clampTo(std::ceil(right) + 1, width_),
                       clampTo(std::ceil(bottom) + 1, height_)};
    if (box.left < box.right && box.top < box.bottom)
        damage_->push_back(box);
}

void HudCanvas::drawText(std::string_view text, const HudTextStyle& style, Point lowerLeft) {
    if (damage_ != nullptr) {
        if (const auto ink = text_.inkBounds(text, style)) {
            // Antialiasing and hinting may shade a pixel beyond the outlines.
            constexpr double margin = 2;
            addDamage(deviceX(lowerLeft.x + ink->x) - margin,
                      deviceY(lowerLeft.y + ink->top()) - margin,
                      deviceX(lowerLeft.x + ink->right()) + margin,
                      deviceY(lowerLeft.y + ink->y) + margin);
        } else if (const auto extent = text_.measure(text, style)) {
            // Glyph ink may reach past the advance box (overhangs, accents): a margin of a
            // quarter of the line height on every side covers it.
            const double margin = extent->height / 4;
            addDamage(deviceX(lowerLeft.x) - margin, deviceY(lowerLeft.y + extent->height) - margin,
                      deviceX(lowerLeft.x + extent->width) + margin, deviceY(lowerLeft.y) + margin);
        }
    }
    if (drawsPixels()) {
        HudTextStyle inSignal = style;
        inSignal.colour = inHudSignal(signal_, style.colour);
        text_.draw(*this, text, inSignal, lowerLeft);
    }
}

void HudCanvas::circlePath(Point centre, double radius) {
    cairo_new_path(cr_);
    cairo_arc(cr_, deviceX(centre.x), deviceY(centre.y), radius, 0, 2 * std::numbers::pi);
    cairo_close_path(cr_);
}

void HudCanvas::fillRect(const Rect& rect, const Rgba& colour) {
    addDamage(deviceX(rect.x), deviceY(rect.top()), deviceX(rect.right()), deviceY(rect.y));
    if (!drawsPixels())
        return;
    setColour(colour);
    cairo_rectangle(cr_, deviceX(rect.x), deviceY(rect.top()), rect.width, rect.height);
    cairo_fill(cr_);
}

void HudCanvas::fillCircle(Point centre, double radius, const Rgba& colour) {
    addDamage(deviceX(centre.x) - radius, deviceY(centre.y) - radius, deviceX(centre.x) + radius,
              deviceY(centre.y) + radius);
    if (!drawsPixels())
        return;
    setColour(colour);
    circlePath(centre, radius);
    cairo_fill(cr_);
}

void HudCanvas::strokeCircle(Point centre, double radius, double lineWidth, const Rgba& colour) {
    const double reach = radius + lineWidth;
    addDamage(deviceX(centre.x) - reach, deviceY(centre.y) - reach, deviceX(centre.x) + reach,
              deviceY(centre.y) + reach);
    if (!drawsPixels())
        return;
    setColour(colour);
    cairo_set_line_width(cr_, lineWidth);
    circlePath(centre, radius);
    cairo_stroke(cr_);
}

void HudCanvas::strokePolyline(std::span<const Point> points, double lineWidth,
                               const Rgba& colour) {
    if (points.size() < 2)
        return;
    double left = points.front().x;
    double right = left;
    double bottom = points.front().y;
    double top = bottom;
    for (const Point& point : points) {
        left = std::min(left, point.x);
        right = std::max(right, point.x);
        bottom = std::min(bottom, point.y);
        top = std::max(top, point.y);
    }
    addDamage(deviceX(left) - lineWidth, deviceY(top) - lineWidth, deviceX(right) + lineWidth,
              deviceY(bottom) + lineWidth);
    if (!drawsPixels())
        return;
    setColour(colour);
    cairo_set_line_width(cr_, lineWidth);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_new_path(cr_);
    cairo_move_to(cr_, deviceX(points.front().x), deviceY(points.front().y));
    for (const Point& point : points.subspan(1))
        cairo_line_to(cr_, deviceX(point.x), deviceY(point.y));
    cairo_stroke(cr_);
}

void HudCanvas::strokeLines(std::initializer_list<std::pair<Point, Point>> lines, double lineWidth,
                            const Rgba& colour) {
    for (const auto& [from, to] : lines) {
        addDamage(std::min(deviceX(from.x), deviceX(to.x)) - lineWidth,
                  std::min(deviceY(from.y), deviceY(to.y)) - lineWidth,
                  std::max(deviceX(from.x), deviceX(to.x)) + lineWidth,
                  std::max(deviceY(from.y), deviceY(to.y)) + lineWidth);
    }
    if (!drawsPixels())
        return;
    setColour(colour);
    cairo_set_line_width(cr_, lineWidth);
    cairo_new_path(cr_);
    for (const auto& [from, to] : lines) {
        cairo_move_to(cr_, deviceX(from.x), deviceY(from.y));
        cairo_line_to(cr_, deviceX(to.x), deviceY(to.y));
    }
    cairo_stroke(cr_);
}

void HudCanvas::saveState() {
    if (drawsPixels())
        cairo_save(cr_);
}

void HudCanvas::restoreState() {
    if (drawsPixels())
        cairo_restore(cr_);
}

// Without pixels the collected boxes stay those of the unclipped drawing: more than is drawn,
// never less.
void HudCanvas::clipToCircle(Point centre, double radius) {
    if (!drawsPixels())
        return;
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    circlePath(centre, radius);
    cairo_clip(cr_);
}

void HudCanvas::drawImage(cairo_surface_t* image, int imageWidth, int imageHeight,
                          Point lowerLeft) {
    const double left = deviceX(lowerLeft.x);
    const double top = deviceY(lowerLeft.y + imageHeight);
    addDamage(left, top, left + imageWidth, top + imageHeight);
    if (!drawsPixels() || image == nullptr)
        return;
    cairo_set_source_surface(cr_, image, left, top);
    cairo_rectangle(cr_, left, top, imageWidth, imageHeight);
    cairo_fill(cr_);
}

void HudCanvas::drawImage(const BgraImage& image, cairo_surface_t* surface, Point lowerLeft) {
    const int width = image.width();
    const int height = image.height();
    const double left = deviceX(lowerLeft.x);
    const double top = deviceY(lowerLeft.y + height);
    const bool onWholePixels = left == std::floor(left) && top == std::floor(top);
    if (!drawsPixels() || pixels_ == nullptr || !onWholePixels || left < 0 || top < 0 ||
        left + width > pixels_->width || top + height > pixels_->height) {
        drawImage(surface, width, height, lowerLeft);
        return;
    }
    addDamage(left, top, left + width, top + height);
    const int x = static_cast<int>(left);
    const int y = static_cast<int>(top);
    cairo_surface_t* target = cairo_get_target(cr_);
    cairo_surface_flush(target);
    const auto composite = [&](int row, int from, int to) {
        compositeSourceOver(
            image.data() + static_cast<std::ptrdiff_t>(row) * image.stride() + from * 4,
            image.stride(),
            pixels_->data + static_cast<std::ptrdiff_t>(y + row) * pixels_->stride + (x + from) * 4,
            pixels_->stride, to - from, 1);
    };
    if (imageLimits_ == nullptr) {
        compositeSourceOver(
            image.data(), image.stride(),
            pixels_->data + static_cast<std::ptrdiff_t>(y) * pixels_->stride + x * 4,
            pixels_->stride, width, height);
    } else {
        // Row by row, the parts of the image inside any box, each pixel once.
        std::vector<std::pair<int, int>> spans;
        for (int row = 0; row < height; ++row) {
            spans.clear();
            for (const PixelBox& box : *imageLimits_) {
                if (box.top <= y + row && y + row < box.bottom) {
                    const int from = std::max(box.left - x, 0);
                    const int to = std::min(box.right - x, width);
                    if (from < to)
                        spans.emplace_back(from, to);
                }
            }
            std::sort(spans.begin(), spans.end());
            int done = 0;
            for (const auto& [from, to] : spans) {
                if (to > std::max(from, done))
                    composite(row, std::max(from, done), to);
                done = std::max(done, to);
            }
        }
    }
    cairo_surface_mark_dirty_rectangle(target, x, y, width, height);
}

}  // namespace skelder
