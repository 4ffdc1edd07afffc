#include "telemetry/quick_scan.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace skelder {
namespace {

DecisecondGrid gridOf(std::vector<OverlayTelemetrySample> samples, std::int64_t first = 0) {
    return DecisecondGrid(first, std::move(samples));
}

TEST(QuickStats, MaximaPeakWideOpenThrottleAndNoPeakWithoutCornering) {
    std::vector<OverlayTelemetrySample> samples(30);
    samples[4].speedMps = 44.704;
    samples[9].rpm = 7200;
    samples[12].latG = 0.6;
    samples[12].lonG = -0.8;  // combined 1.0
    samples[20].latG = 1.0;   // equal peak later: the earlier one is named
    for (int d = 0; d < 12; ++d) {
        samples[d].throttle = 0.95;
        samples[d].brake = 0.08;
    }
    samples[13].throttle = 0.949;
    samples[14].throttle = 1.0;
    samples[14].brake = 0.081;
    const auto stats = computeQuickStats(gridOf(samples, 50), 1234, 65.5);
    EXPECT_NEAR(stats.maxSpeedMPH, 100.0, 1e-6);
    EXPECT_EQ(stats.maxRPM, 7200);
    EXPECT_DOUBLE_EQ(stats.maxCombinedG, 1.0);
    EXPECT_EQ(stats.peakCombinedGSecond, 6.2);
    EXPECT_DOUBLE_EQ(stats.wotSeconds, 1.2);
    EXPECT_EQ(stats.durationSeconds, 65.5);
    EXPECT_EQ(stats.fileSizeBytes, 1234u);

    DroppedFileItem item{"/a/lap.mp4", QuickScanDone{stats}};
    EXPECT_EQ(item.statusText(), "100 mph  |  7200 rpm  |  WOT 1.2s  |  G 1.00");
    EXPECT_EQ(item.durationText(), "0:01:05 total");
    {
        const auto stats =
            computeQuickStats(gridOf(std::vector<OverlayTelemetrySample>(5)), 1, std::nullopt);
        EXPECT_EQ(stats.maxCombinedG, 0);
        EXPECT_FALSE(stats.peakCombinedGSecond.has_value());
        DroppedFileItem item{"/a/lap.mp4", QuickScanDone{stats}};
        EXPECT_EQ(item.durationText(), "Duration pending");
        EXPECT_EQ(computeQuickStats({}, 0, 1.0).maxSpeedMPH, 0);
    }
}

TEST(QuickStats, TheStatisticsLineInKilometresPerHour) {
    std::vector<OverlayTelemetrySample> samples(3);
    samples[0].speedMps = -3;
    samples[1].speedMps = 26.8224;  // 60 mph, 96.56 km/h
    samples[1].rpm = 5100;
    samples[2].latG = 0.5;
    const auto stats = computeQuickStats(gridOf(samples), 1, std::nullopt);
    EXPECT_EQ(stats.maxSpeedMps, 26.8224);
    DroppedFileItem item{"/a/lap.mp4", QuickScanDone{stats}};
    EXPECT_EQ(item.statusText(SpeedUnit::kmh), "97 km/h  |  5100 rpm  |  WOT 0.0s  |  G 0.50");
    EXPECT_EQ(item.statusText(SpeedUnit::mph), "60 mph  |  5100 rpm  |  WOT 0.0s  |  G 0.50");
    EXPECT_EQ(item.statusText(), item.statusText(SpeedUnit::mph));

    // Standing still (or only reversing) reads 0 in either unit.
    const auto still = computeQuickStats(gridOf({samples[0]}), 1, std::nullopt);
    EXPECT_EQ(still.maxSpeedMps, 0);
    EXPECT_EQ(DroppedFileItem({"a.mp4", QuickScanDone{still}}).statusText(SpeedUnit::kmh),
              "0 km/h  |  0 rpm  |  WOT 0.0s  |  G 0.00");
    // Texts other than the statistics do not depend on the unit.
    EXPECT_EQ(DroppedFileItem{"a.mp4"}.statusText(SpeedUnit::kmh), "Stats pending");
    EXPECT_EQ((DroppedFileItem{"a.mp4", QuickScanFailed{"Input file is empty"}}.statusText(
                  SpeedUnit::kmh)),
              "Empty File");
}

TEST(QuickStats, ExtremeButFiniteValuesGiveFiniteStatistics) {
    std::vector<OverlayTelemetrySample> samples(3);
    samples[1].latG = 1.2e308;  // squared, either would overflow
    samples[1].lonG = -1.0e308;
    samples[2].speedMps = 1.7e308;  // finite in m/s, beyond the double range in mph
    const auto stats = computeQuickStats(gridOf(samples), 1, std::nullopt);
    EXPECT_NEAR(stats.maxCombinedG / 1e308, 1.5620499351813308, 1e-12);  // √2.44
    EXPECT_TRUE(std::isfinite(stats.maxCombinedG));
    EXPECT_EQ(stats.peakCombinedGSecond, 0.1);
    EXPECT_EQ(stats.maxSpeedMPH, std::numeric_limits<double>::max());
    DroppedFileItem item{"a.mp4", QuickScanDone{stats}};
    EXPECT_EQ(item.statusText(SpeedUnit::kmh).find("inf"), std::string::npos);
}

TEST(ScanStatusTexts, PendingFailureClassesAndPositionalDurations) {
    EXPECT_EQ(DroppedFileItem{"a.mp4"}.statusText(), "Stats pending");
    EXPECT_EQ((DroppedFileItem{"a.mp4", QuickScanScanning{}}.statusText()), "Stats pending");
    EXPECT_EQ((DroppedFileItem{"a.mp4", QuickScanScanning{}}.durationText()), "Duration pending");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"No telemetry track with handler type 'adrv' found", "No Kovra Data"},
        {"Invalid telemetry timescale", "No Kovra Data"},
        {"adco missing required adcr/adcp boxes", "No Kovra Data"},
        {"the MOOV and the ADCO", "No Kovra Data"},
        {"MP4 metadata box 'moov' not found", "Not a Valid MP4"},
        {"No track boxes found in moov", "Not a Valid MP4"},
        {"Input file is empty", "Empty File"},
        {"Only MP4 files are supported", "Unsupported File"},
        {"Input is not a regular file", "Unsupported File"},
        {"Invalid box size", "Unsupported File"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ((DroppedFileItem{"a.mp4", QuickScanFailed{text}}.statusText()), shown) << text;
    }
    {
        EXPECT_EQ(positionalDuration(0), "0:00:00");
        EXPECT_EQ(positionalDuration(65), "0:01:05");
        EXPECT_EQ(positionalDuration(59.99), "0:00:59");
        EXPECT_EQ(positionalDuration(3600 * 26 + 61), "26:01:01");
    }
}

}  // namespace
}  // namespace skelder
