// The HUD's speed readout and its unit label in the driver's unit: drawn through the Cairo
// text painter, read back as texts and as pixels.
#include <gtest/gtest.h>

#include "overlay/overlay_renderer.hpp"
#include "tests/overlay/hud_test_support.hpp"

namespace skelder {
namespace {

using testing::filledFrame;
using testing::findLastText;
using testing::findText;
using testing::inkWithin;
using testing::kGrey;
using testing::RecordingTextPainter;
using testing::sameBytesWithin;
using testing::TextEntries;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// At 1920 x 1080 the top row's baseline is 1080 - 26 - 170.
constexpr double kTopBaseline = 884;

OverlayRenderSample sixtyMilesPerHour() {
    return {{.speedMps = 26.8224, .throttle = 0.4, .rpm = 4200, .gear = 4, .latG = 0.3},
            {{0.3, 0}},
            0.3,
            0.3};
}

struct Drawn {
    BgraImage frame;
    TextEntries frameTexts;   // what each frame draws
    TextEntries staticTexts;  // what the job's static layer holds
};

enum class Layer { fitting, none };

// Draws one frame as a job in `unit` does: the static layer made once, then the frame.
// `unit` absent: the defaults of both calls.
Drawn drawInUnit(std::optional<SpeedUnit> unit, Layer layer = Layer::fitting) {
    Drawn drawn{filledFrame(kWidth, kHeight), {}, {}};
    OverlayRenderContext staticContext(std::make_unique<RecordingTextPainter>(drawn.staticTexts));
    const auto staticHUD =
        unit ? OverlayRenderer::makeStaticHUD(staticContext, kWidth, kHeight, *unit)
             : OverlayRenderer::makeStaticHUD(staticContext, kWidth, kHeight);
    OverlayRenderContext context(std::make_unique<RecordingTextPainter>(drawn.frameTexts));
    const StaticHUD* used = layer == Layer::fitting ? staticHUD.get() : nullptr;
    const bool drew =
        unit ? OverlayRenderer::drawOverlay(context, drawn.frame.frame(), sixtyMilesPerHour(),
                                            std::nullopt, used, *unit)
             : OverlayRenderer::drawOverlay(context, drawn.frame.frame(), sixtyMilesPerHour(),
                                            std::nullopt, used);
    EXPECT_TRUE(drew);
    return drawn;
}

TEST(HudSpeedUnit, KilometresPerHourChangeOnlyTheSpeedAndItsLabel) {
    const Drawn kmh = drawInUnit(SpeedUnit::kmh);
    const auto* speed = findLastText(kmh.frameTexts, "97");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(findText(kmh.frameTexts, "60"), nullptr);
    EXPECT_NEAR(speed->lowerLeft.x + speed->extent.width / 2, kWidth / 2.0, 1e-9);
    EXPECT_NEAR(speed->lowerLeft.y, kTopBaseline, 1e-9);
    const auto* label = findText(kmh.staticTexts, "KM/H");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(findText(kmh.staticTexts, "MPH"), nullptr);
    EXPECT_NEAR(label->lowerLeft.x + label->extent.width / 2, kWidth / 2.0, 1e-9);
    EXPECT_NEAR(label->lowerLeft.y, kTopBaseline - 38, 1e-9);
    EXPECT_GT(inkWithin(kmh.frame, label->box(), kGrey).changedPixels, 100);

    const Drawn mph = drawInUnit(SpeedUnit::mph);
    const Rect whole{0, 0, kWidth, kHeight};
    EXPECT_TRUE(sameBytesWithin(drawInUnit(std::nullopt).frame, mph.frame, whole));
    // The speed and its label sit in a band from below the label to the top of the frame,
    // around the centre line; everything else is the same.
    const Rect speedBand{kWidth / 2.0 - 200, kTopBaseline - 60, 400, kHeight - kTopBaseline + 60};
    EXPECT_FALSE(sameBytesWithin(kmh.frame, mph.frame, speedBand));
    const Rect below{0, 0, kWidth, speedBand.y};
    const Rect left{0, speedBand.y, speedBand.x, speedBand.height};
    const Rect right{speedBand.right(), speedBand.y, kWidth - speedBand.right(), speedBand.height};
    for (const Rect& area : {below, left, right})
        EXPECT_TRUE(sameBytesWithin(kmh.frame, mph.frame, area)) << area.x << "," << area.y;

    // A frame without the layer labels its own speed in the unit.
    EXPECT_NE(findText(drawInUnit(SpeedUnit::kmh, Layer::none).frameTexts, "KM/H"), nullptr);
    EXPECT_NE(findText(drawInUnit(std::nullopt, Layer::none).frameTexts, "MPH"), nullptr);
}

}  // namespace
}  // namespace skelder
