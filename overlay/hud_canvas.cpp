#include "overlay/hud_canvas.hpp"

#include <numbers>

namespace skelder {

void HudCanvas::setColour(const Rgba& colour) {
    cairo_set_source_rgba(cr_, colour.r, colour.g, colour.b, colour.a);
}

void HudCanvas::circlePath(Point centre, double radius) {
    cairo_new_path(cr_);
    cairo_arc(cr_, deviceX(centre.x), deviceY(centre.y), radius, 0, 2 * std::numbers::pi);
    cairo_close_path(cr_);
}

void HudCanvas::fillRect(const Rect& rect, const Rgba& colour) {
    setColour(colour);
    cairo_rectangle(cr_, deviceX(rect.x), deviceY(rect.top()), rect.width, rect.height);
    cairo_fill(cr_);
}

void HudCanvas::fillCircle(Point centre, double radius, const Rgba& colour) {
    setColour(colour);
    circlePath(centre, radius);
    cairo_fill(cr_);
}

void HudCanvas::strokeCircle(Point centre, double radius, double lineWidth, const Rgba& colour) {
    setColour(colour);
    cairo_set_line_width(cr_, lineWidth);
    circlePath(centre, radius);
    cairo_stroke(cr_);
}

void HudCanvas::strokeLines(std::initializer_list<std::pair<Point, Point>> lines, double lineWidth,
                            const Rgba& colour) {
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
    cairo_save(cr_);
}

void HudCanvas::restoreState() {
    cairo_restore(cr_);
}

void HudCanvas::clipToCircle(Point centre, double radius) {
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    circlePath(centre, radius);
    cairo_clip(cr_);
}

void HudCanvas::drawImage(cairo_surface_t* image, int imageHeight, Point lowerLeft) {
    const double left = deviceX(lowerLeft.x);
    const double top = deviceY(lowerLeft.y + imageHeight);
    cairo_set_source_surface(cr_, image, left, top);
    cairo_rectangle(cr_, left, top, cairo_image_surface_get_width(image), imageHeight);
    cairo_fill(cr_);
}

}  // namespace skelder
