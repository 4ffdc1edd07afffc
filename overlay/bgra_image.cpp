#include "overlay/bgra_image.hpp"

#include <cstring>

namespace skelder {

std::optional<BgraImage> BgraImage::create(int width, int height) {
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    SurfacePtr surface{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)};
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    return BgraImage(std::move(surface));
}

BgraPixel BgraImage::pixel(int x, int y) const {
    cairo_surface_flush(surface_.get());
    const BgraFrame view{const_cast<std::uint8_t*>(data()), width(), height(), stride()};
    return pixelAt(view, x, y);
}

void BgraImage::clear() {
    fill(BgraPixel{});
}

void BgraImage::fill(BgraPixel colour) {
    cairo_surface_flush(surface_.get());
    std::uint8_t* rows = data();
    const auto rowBytes = static_cast<std::size_t>(width()) * 4;
    for (int column = 0; column < width(); ++column) {
        std::memcpy(rows + column * 4, &colour, sizeof colour);
    }
    for (int row = 1; row < height(); ++row) {
        std::memcpy(rows + static_cast<std::ptrdiff_t>(row) * stride(), rows, rowBytes);
    }
    cairo_surface_mark_dirty(surface_.get());
}

BgraPixel pixelAt(const BgraFrame& frame, int x, int y) {
    const std::uint8_t* p =
        frame.data + static_cast<std::ptrdiff_t>(frame.height - 1 - y) * frame.stride + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace skelder
