#include <gtest/gtest.h>

#include <random>

#include "overlay/bgra_image.hpp"
#include "overlay/hud_canvas.hpp"
#include "overlay/source_over.hpp"

namespace skelder {
namespace {

// Premultiplied noise: each colour channel at most the pixel's alpha. Some runs of pixels are
// clear, some opaque, as in the HUD's panels.
BgraImage noiseImage(int width, int height, unsigned seed) {
    BgraImage image = *BgraImage::create(width, height);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.data() + y * image.stride();
        for (int x = 0; x < width; ++x) {
            const int kind = (x / 8 + y) % 4;
            const std::uint8_t alpha = kind == 0   ? 0
                                       : kind == 1 ? 255
                                                   : static_cast<std::uint8_t>(random());
            for (int c = 0; c < 3; ++c)
                row[4 * x + c] = static_cast<std::uint8_t>(alpha == 0 ? 0 : random() % (alpha + 1));
            row[4 * x + 3] = alpha;
        }
    }
    cairo_surface_mark_dirty(image.surface());
    return image;
}

// The HUD's static panels are laid on every frame by our own compositing instead of Cairo's:
// the pixels must be the ones Cairo gives, on every row length the vector steps and the plain
// loop share.
TEST(SourceOver, GivesCairosPixels) {
    for (const int width : {1, 7, 8, 9, 16, 31, 45}) {
        const int height = 5;
        const BgraImage source = noiseImage(width, height, 3 + width);
        BgraImage byCairo = noiseImage(width, height, 100 + width);
        BgraImage ours = noiseImage(width, height, 100 + width);

        const CairoPtr cr{cairo_create(byCairo.surface())};
        cairo_set_source_surface(cr.get(), source.surface(), 0, 0);
        cairo_paint(cr.get());
        cairo_surface_flush(byCairo.surface());
        compositeSourceOver(source.data(), source.stride(), ours.data(), ours.stride(), width,
                            height);

        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 4; ++x) {
                ASSERT_EQ(ours.data()[y * ours.stride() + x],
                          byCairo.data()[y * byCairo.stride() + x])
                    << "width " << width << ", row " << y << ", byte " << x;
            }
        }
    }
}

// The canvas lays an image straight onto the frame's pixels when it can: at the same place,
// and with the same pixels, as Cairo lays it (frame points count rows from the bottom). Off
// whole pixels or past the frame's edge it leaves the work to Cairo.
TEST(SourceOver, TheCanvasPlacesAnImageAsCairoDoes) {
    const BgraImage image = noiseImage(21, 6, 9);
    const auto text = makeCairoTextPainter();
    for (const Point lowerLeft :
         {Point{0, 0}, Point{5, 3}, Point{19, 10}, Point{2.5, 1}, Point{30, 2}}) {
        const auto draw = [&](bool straight) {
            BgraImage frame = noiseImage(40, 16, 4);
            const BgraFrame pixels = frame.frame();
            const CairoPtr cr{cairo_create(frame.surface())};
            HudCanvas canvas(cr.get(), 40, 16, *text);
            if (straight)
                canvas.drawImagesOnto(&pixels);
            canvas.drawImage(image, image.surface(), lowerLeft);
            cairo_surface_flush(frame.surface());
            return frame;
        };
        const BgraImage straight = draw(true);
        const BgraImage byCairo = draw(false);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 40 * 4; ++x) {
                ASSERT_EQ(straight.data()[y * straight.stride() + x],
                          byCairo.data()[y * byCairo.stride() + x])
                    << "image at " << lowerLeft.x << "," << lowerLeft.y << ": row " << y
                    << ", byte " << x;
            }
        }
    }
}

}  // namespace
}  // namespace skelder
