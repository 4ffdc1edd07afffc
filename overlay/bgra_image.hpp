#pragma once

// 32-bit premultiplied BGRA pixels (Cairo's ARGB32 on little-endian), the format of decoded
// video frames and of every raster the HUD draws.

#include <cstdint>
#include <optional>

#include "overlay/cairo_handles.hpp"

namespace skelder {

// A caller's frame buffer: first row at the top, rows `stride` bytes apart. A recorder mounted
// sideways or upside down stores its pictures turned and says how to turn them back for
// display: `displayRotation` clockwise degrees (0, 90, 180 or 270), after mirroring them left
// to right when `displayMirrored` (a recorder filming through a mirror, or set to).
struct BgraFrame {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int displayRotation = 0;
    bool displayMirrored = false;

    // The size of the picture as it is shown: width and height swap for a quarter turn.
    int displayedWidth() const { return quarterTurned() ? height : width; }
    int displayedHeight() const { return quarterTurned() ? width : height; }
    bool quarterTurned() const { return displayRotation == 90 || displayRotation == 270; }
    // Shown as stored: no turn, no mirror.
    bool shownAsStored() const { return displayRotation == 0 && !displayMirrored; }
};

struct BgraPixel {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;
    std::uint8_t a = 0;

    friend bool operator==(const BgraPixel&, const BgraPixel&) = default;
};

// An image that owns its pixels.
class BgraImage {
  public:
    // A transparent image; none when a side is below 1 or the pixels cannot be allocated.
    static std::optional<BgraImage> create(int width, int height);

    int width() const { return cairo_image_surface_get_width(surface_.get()); }
    int height() const { return cairo_image_surface_get_height(surface_.get()); }
    int stride() const { return cairo_image_surface_get_stride(surface_.get()); }
    std::uint8_t* data() { return cairo_image_surface_get_data(surface_.get()); }
    const std::uint8_t* data() const { return cairo_image_surface_get_data(surface_.get()); }
    BgraFrame frame() { return {data(), width(), height(), stride()}; }
    cairo_surface_t* surface() const { return surface_.get(); }

    // The pixel at column x and row y counted from the bottom (frame coordinates).
    BgraPixel pixel(int x, int y) const;
    void clear();
    void fill(BgraPixel colour);

  private:
    explicit BgraImage(SurfacePtr surface) : surface_(std::move(surface)) {}
    SurfacePtr surface_;
};

// The pixel of a frame at column x and row y counted from the bottom.
BgraPixel pixelAt(const BgraFrame& frame, int x, int y);

}  // namespace skelder
