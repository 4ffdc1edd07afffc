#include "overlay/lap_hud.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "overlay/hud_layout.hpp"
#include "overlay/lap_hud_elements.hpp"
#include "overlay/overlay_renderer.hpp"
#include "tests/overlay/hud_test_support.hpp"
#include "tests/support/circuit_drive.hpp"

namespace skelder {
namespace {

using laps::LapReading;

TEST(LapHud, TextsReadAsDriversExpect) {
    LapReading reading;
    reading.lapNumber = 4;
    reading.lapSeconds = 72.49;  // a stopwatch shows the tenths reached, not the nearest
    EXPECT_EQ(lapTimerText(reading), "LAP 4  1:12.4");
    reading.kind = LapReading::Kind::outLap;
    reading.lapSeconds = 45.2;
    EXPECT_EQ(lapTimerText(reading), "OUT  0:45.2");
    reading.kind = LapReading::Kind::inLap;
    reading.lapSeconds = 632.05;
    EXPECT_EQ(lapTimerText(reading), "IN  10:32.0");
    EXPECT_EQ(lapRecordText(reading), "");
    reading.bestLapSeconds = 72.8712;
    EXPECT_EQ(lapRecordText(reading), "BEST 1:12.871");
    reading.lastLapSeconds = 73.2049;
    EXPECT_EQ(lapRecordText(reading), "LAST 1:13.205  BEST 1:12.871");

    const std::pair<double, const char*> gaps[] = {
        {-0.42, "-0.42"},   {0.18, "+0.18"},    {0.004, "0.00"}, {-0.004, "0.00"},
        {-0.0051, "-0.01"}, {12.345, "+12.35"}, {-1.5, "-1.50"}};
    for (const auto& [gap, text] : gaps)
        EXPECT_EQ(lapGapText(gap), text) << gap;
}

// The laps of a short club session, read where the second lap is under way.
LapHudContent contentWithEveryElement(double gapSeconds) {
    static const auto clock = [] {
        const testing::CircuitDrive drive(testing::clubCircuit(), {.flyingLaps = 2});
        return std::make_shared<const laps::LapClock>(laps::analyseLaps(drive.grid()));
    }();
    const laps::Lap& lap = clock->analysis().laps.at(1);
    LapHudContent content{{true, true, true}, *clock->at(lap.startSeconds + 10), clock};
    content.reading.gapSeconds = gapSeconds;
    return content;
}

bool overlaps(const PixelBox& a, const PixelBox& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Landscape and portrait, small and 4K, with and without the timing panel: the lap elements
// never cover a specified element, whatever it shows (three-digit speeds, the widest labels).
TEST(LapHud, ElementsLieWhereNoSpecifiedElementIs) {
    const OverlayTelemetrySample fast{
        .speedMps = 88, .rpm = 8888, .gear = 6, .latG = 1.8, .lonG = -1.8, .steeringDeg = -188};
    OverlayRenderSample sample{fast, {{1.8, -1.8}}, 2.5, 2.5};
    const OverlayFrameDebugInfo debug{8888,   8888, 8888,
                                      -8.888, 9,    "a-very-long-recording-name.mp4"};
    OverlayRenderContext context;
    const std::pair<int, int> sizes[] = {
        {1920, 1080}, {1080, 1920}, {3840, 2160}, {640, 360}, {720, 1280}};
    for (const auto& [width, height] : sizes) {
        for (const bool debugShown : {false, true}) {
            SCOPED_TRACE(::testing::Message() << width << "x" << height << " debug " << debugShown);
            const BgraFrame frame{nullptr, width, height, width * 4, 0};
            const std::optional<OverlayFrameDebugInfo> info =
                debugShown ? std::optional(debug) : std::nullopt;
            const std::vector<PixelBox> specified =
                OverlayRenderer::overlayFootprint(context, frame, sample, info, nullptr);
            std::vector<PixelBox> lapBoxes;
            const auto painter = makeCairoTextPainter();
            HudCanvas canvas(nullptr, width, height, *painter);
            canvas.collectDamage(&lapBoxes);
            hud::LapMapRaster raster;
            hud::drawLapElements(canvas, HudLayout::forFrame(width, height),
                                 contentWithEveryElement(-12.34), debugShown, raster);
            ASSERT_GE(lapBoxes.size(), 3u);
            for (const PixelBox& lap : lapBoxes) {
                EXPECT_GE(lap.left, 0);
                EXPECT_GE(lap.top, 0);
                for (const PixelBox& other : specified) {
                    EXPECT_FALSE(overlaps(lap, other))
                        << "lap box " << lap.left << "," << lap.top << "-" << lap.right << ","
                        << lap.bottom << " over " << other.left << "," << other.top << "-"
                        << other.right << "," << other.bottom;
                }
            }
        }
    }
}

// Ahead of the best lap the gap is green, behind it red.
TEST(LapHud, TheGapIsGreenAheadAndRedBehind) {
    OverlayRenderContext context;
    for (const double gap : {-0.42, 0.18}) {
        BgraImage image = testing::filledFrame(1920, 1080);
        OverlayRenderSample sample;
        sample.lap = contentWithEveryElement(gap);
        sample.lap->elements = {false, true, false};
        ASSERT_TRUE(
            OverlayRenderer::drawOverlay(context, image.frame(), sample, std::nullopt, nullptr));
        const Rect box = HudLayout::forFrame(1920, 1080).lapGapBox(false, false);
        const BgraPixel ink =
            testing::inkWithin(image, box, testing::over(testing::kGrey, black(0.45))).strongest;
        if (gap < 0) {
            EXPECT_GT(ink.g, 150);
            EXPECT_LT(ink.r, 100);
        } else {
            EXPECT_GT(ink.r, 200);
            EXPECT_LT(ink.g, 100);
        }
    }
}

}  // namespace
}  // namespace skelder
