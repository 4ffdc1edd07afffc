#pragma once

// Frame geometry of the HUD: pixels, origin at the lower-left corner, y growing upwards.

namespace skelder {

struct Point {
    double x = 0;
    double y = 0;
};

struct Rect {
    double x = 0;
    double y = 0;  // lower edge
    double width = 0;
    double height = 0;

    double top() const { return y + height; }
    double right() const { return x + width; }
};

// A rectangle of pixels in the frame buffer's own terms: columns from the left, rows from the
// top, end exclusive.
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// Straight (not premultiplied) colour components in 0...1.
struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

inline constexpr Rgba white(double alpha = 1) {
    return {1, 1, 1, alpha};
}
inline constexpr Rgba black(double alpha = 1) {
    return {0, 0, 0, alpha};
}
inline constexpr Rgba systemRed() {
    return {1.0, 0.23, 0.19, 1};
}

}  // namespace skelder
