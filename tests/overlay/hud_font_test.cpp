#include <gtest/gtest.h>

#include "overlay/hud_canvas.hpp"
#include "overlay/hud_font.hpp"
#include "overlay/hud_text.hpp"
#include "tests/overlay/hud_test_support.hpp"

namespace skelder {
namespace {

// Total coverage of a text drawn in white on a transparent raster.
long inkOf(const ScaledFontPtr& font, const char* text) {
    auto image = BgraImage::create(600, 200);
    const CairoPtr cr{cairo_create(image->surface())};
    cairo_set_scaled_font(cr.get(), font.get());
    cairo_set_source_rgba(cr.get(), 1, 1, 1, 1);
    cairo_move_to(cr.get(), 10, 150);
    cairo_show_text(cr.get(), text);
    cairo_surface_flush(image->surface());
    long ink = 0;
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x)
            ink += image->pixel(x, y).a;
    }
    return ink;
}

double advanceOf(const ScaledFontPtr& font, const char* text) {
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(font.get(), text, &extents);
    return extents.x_advance;
}

TEST(HudFont, TheShippedVariableFontIsFoundWithItsWeightAxis) {
    const auto file = findHudFontFile();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->filename(), "OverpassMono-VariableFont_wght.ttf");
    const HudFontRecord& record = HudFontRecord::process();
    EXPECT_TRUE(record.hasFace());
    EXPECT_NE(record.fontName().find("OverpassMono"), std::string::npos) << record.fontName();
    EXPECT_EQ(record.weightAxisTag(), "wght");
}

TEST(HudFont, AMissingFileFallsBackToASystemFont) {
    for (const auto& file : {std::optional<std::filesystem::path>{},
                             std::optional<std::filesystem::path>{"/no/such/font.ttf"}}) {
        const auto record = HudFontRecord::load(file);
        EXPECT_FALSE(record->hasFace());
        EXPECT_FALSE(record->weightAxisTag());
        const auto mono = record->font({true, 40, HudFontWeight::semibold, 540});
        ASSERT_TRUE(mono);
        EXPECT_GT(inkOf(mono, "SRC 1"), 0);
        EXPECT_DOUBLE_EQ(advanceOf(mono, "i"), advanceOf(mono, "W")) << "monospaced";
        const auto digits = record->font({false, 40, HudFontWeight::bold, 700});
        ASSERT_TRUE(digits);
        EXPECT_GT(inkOf(digits, "60"), 0);
        EXPECT_DOUBLE_EQ(advanceOf(digits, "1"), advanceOf(digits, "8")) << "tabular digits";
    }
}

TEST(HudText, ExtentIsTheAdvanceByTheLineHeightPlacedByItsLowerLeftCorner) {
    auto painter = makeCairoTextPainter();
    const HudTextStyle style{{false, 80, HudFontWeight::bold, 700}, white(), TextAlignment::left};
    const auto one = painter->measure("8", style);
    const auto four = painter->measure("8888", style);
    ASSERT_TRUE(one && four);
    EXPECT_NEAR(four->width, 4 * one->width, 1e-9);
    EXPECT_DOUBLE_EQ(four->height, one->height);
    EXPECT_GT(one->height, 80) << "ascent + descent is taller than the em";
    const auto degrees = painter->measure("-540\u00b0", style);
    ASSERT_TRUE(degrees);
    EXPECT_NEAR(degrees->width, 5 * one->width, 1e-9) << "the degree sign is one cell";

    BgraImage image = testing::filledFrame(400, 300, {0, 0, 0, 255});
    const CairoPtr cr{cairo_create(image.surface())};
    HudCanvas canvas(cr.get(), 400, 300, *painter);
    const Point lowerLeft{50, 60};
    canvas.drawText("8888", style, lowerLeft);
    const Rect box{lowerLeft.x, lowerLeft.y, four->width, four->height};
    const auto everywhere = testing::inkWithin(image, {0, 0, 400, 300}, {0, 0, 0, 255});
    EXPECT_GT(everywhere.changedPixels, 1000);
    EXPECT_EQ(testing::inkWithin(image, box, {0, 0, 0, 255}).changedPixels,
              everywhere.changedPixels)
        << "all ink inside the extent";
    // Digits stand on the baseline, a descent above the lower edge.
    EXPECT_GT(everywhere.lowestInkedRow, lowerLeft.y + 0.15 * four->height);
}

}  // namespace
}  // namespace skelder
