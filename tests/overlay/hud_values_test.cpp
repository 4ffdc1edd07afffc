#include <gtest/gtest.h>

#include <limits>

#include "overlay/hud_layout.hpp"

namespace skelder {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(HudText, GearShowsNForNeutralAndInvalidCodes) {
    EXPECT_EQ(gearText(0), "N");
    EXPECT_EQ(gearText(-1), "N");
    EXPECT_EQ(gearText(13), "N");
    EXPECT_EQ(gearText(1), "1");
    EXPECT_EQ(gearText(6), "6");
    EXPECT_EQ(gearText(12), "12");
    EXPECT_EQ(gearText(14), "14");
}

TEST(HudText, SpeedIsWholeMilesPerHourAndNeverNegative) {
    EXPECT_EQ(speedText(26.8224), "60");
    EXPECT_EQ(speedText(-5), "0");
    EXPECT_EQ(speedText(0), "0");
    EXPECT_EQ(speedText(kNaN), "0");
    EXPECT_EQ(speedText(100), "224");  // 223.69 rounds up
    EXPECT_EQ(speedText(-0.0), "0");
}

TEST(HudText, SpeedInKilometresPerHourIsWholeAndNeverNegative) {
    EXPECT_EQ(speedText(26.8224, SpeedUnit::kmh), "97");  // 96.56 km/h
    EXPECT_EQ(speedText(26.8224, SpeedUnit::mph), "60");
    EXPECT_EQ(speedText(12.5, SpeedUnit::kmh), "45");
    EXPECT_EQ(speedText(100, SpeedUnit::kmh), "360");
    EXPECT_EQ(speedText(0.13, SpeedUnit::kmh), "0");  // 0.468 km/h
    EXPECT_EQ(speedText(0.14, SpeedUnit::kmh), "1");  // 0.504 km/h
    EXPECT_EQ(speedText(-5, SpeedUnit::kmh), "0");
    EXPECT_EQ(speedText(-0.0, SpeedUnit::kmh), "0");
    EXPECT_EQ(speedText(kNaN, SpeedUnit::kmh), "0");
}

TEST(HudText, SteeringHasASignNoDecimalsAndStopsAt540) {
    EXPECT_EQ(steeringText(12.4), "+12\u00b0");
    EXPECT_EQ(steeringText(-0.4), "-0\u00b0");
    EXPECT_EQ(steeringText(600), "+540\u00b0");
    EXPECT_EQ(steeringText(-1000), "-540\u00b0");
    EXPECT_EQ(steeringText(kNaN), "-540\u00b0");
    EXPECT_EQ(steeringText(0), "+0\u00b0");
}

TEST(HudText, EngineSpeedReadoutIsNotCappedButTheMarkerIs) {
    EXPECT_EQ(rpmReadoutText(8000), "RPM 8000");
    EXPECT_EQ(rpmReadoutText(-200), "RPM 0");
    EXPECT_EQ(rpmReadoutText(-0.0), "RPM 0");
    EXPECT_DOUBLE_EQ(rpmFraction(8000), 1.0);
    EXPECT_DOUBLE_EQ(rpmFraction(3500), 0.5);
    EXPECT_DOUBLE_EQ(rpmFraction(-10), 0.0);
    EXPECT_DOUBLE_EQ(rpmFraction(kNaN), 0.0);
}

TEST(HudText, GForceReadingsAndTheirColours) {
    EXPECT_EQ(gLabelText(0.8), "0.8");
    EXPECT_EQ(gLabelText(1.6), "1.6");
    EXPECT_EQ(peakGText(1.234), "1.23 G");
    EXPECT_EQ(peakGText(0), "0.00 G");
    // Labels without a sign never read minus zero: a car at rest has lonG 0, and the braking
    // label shows max(-0.0, 0).
    EXPECT_EQ(gLabelText(-0.0), "0.0");
    EXPECT_EQ(gLabelText(-0.04), "0.0");
    EXPECT_EQ(peakGText(-0.0), "0.00 G");

    const Rgba red{0.96, 0.24, 0.18, 0.9};
    const Rgba amber{1.0, 0.85, 0.22, 0.9};
    EXPECT_EQ(gForceColour(0.9, 0.9), amber) << "exactly 0.9 is not above it";
    EXPECT_EQ(gForceColour(0.9001, 0.9), red);
    EXPECT_EQ(gForceColour(0.75, 0.9), white(0.9)) << "exactly 0.75 is not above it";
    EXPECT_EQ(gForceColour(0.7501, 0.9), amber);
    EXPECT_EQ(gForceColour(0.95, 0.95).a, 0.95);
}

TEST(HudText, DebugLinesNameTheSourceAndEveryTime) {
    OverlayFrameDebugInfo info{12.3456, 40.5, 41.15, 0.65, 2, std::nullopt};
    EXPECT_EQ(debugSourceLine(info), "SRC 3  source_3");
    info.sampleSourceLabel = "lap 2.mp4";
    EXPECT_EQ(debugSourceLine(info), "SRC 3  lap 2.mp4");
    EXPECT_EQ(debugTimingLine(info), "OUT 12.346s  MAP 40.500s  ADJ 41.150s  OFF +0.650s");
    info.timeOffsetSeconds = -0.25;
    EXPECT_EQ(debugTimingLine(info), "OUT 12.346s  MAP 40.500s  ADJ 41.150s  OFF -0.250s");
}

}  // namespace
}  // namespace skelder
