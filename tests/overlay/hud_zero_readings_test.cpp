// A car standing still, or one whose sensors read negative zero, gets a HUD of zeros: no
// reading that has no sign of its own may show a minus ("-0.0" on the G meter). The steering
// angle always carries its sign and is left out here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "overlay/overlay_renderer.hpp"
#include "tests/overlay/hud_test_support.hpp"

namespace skelder {
namespace {

std::vector<std::string> hudTextsOf(const OverlayRenderSample& sample) {
    testing::TextEntries entries;
    OverlayRenderContext context(std::make_unique<testing::RecordingTextPainter>(entries));
    BgraImage frame = testing::filledFrame(1920, 1080);
    const auto staticHUD = OverlayRenderer::makeStaticHUD(1920, 1080);
    EXPECT_TRUE(OverlayRenderer::drawOverlay(context, frame.frame(), sample, std::nullopt,
                                             staticHUD.get()));
    std::vector<std::string> drawn;
    for (const auto& entry : entries)
        drawn.push_back(entry.text);
    return drawn;
}

OverlayRenderSample standingStill(double zero) {
    return {{zero, zero, zero, zero, 1, zero, zero, 0.0}, {{zero, zero}, {zero, zero}}, zero, zero};
}

TEST(HudZeroReadings, NoUnsignedReadingShowsAMinus) {
    for (const double zero : {0.0, -0.0}) {
        SCOPED_TRACE(std::signbit(zero) ? "negative zero" : "zero");
        const auto texts = hudTextsOf(standingStill(zero));
        // Gear, speed, steering, engine speed, four G directions and the G peak.
        ASSERT_GE(texts.size(), 9u);
        for (const std::string& text : texts) {
            if (text.ends_with("\u00b0"))
                continue;  // the steering angle, signed by design
            EXPECT_TRUE(text.find('-') == std::string::npos) << '"' << text << "\" shows a minus";
        }
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "0.0"), 4) << "the four G directions";
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "0.00 G"), 1) << "the G peak";
    }
}

}  // namespace
}  // namespace skelder
