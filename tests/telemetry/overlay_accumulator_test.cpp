#include "telemetry/overlay_accumulator.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace skelder {
namespace {

ResolvedChannel ofKind(std::optional<TelemetrySignalKind> kind) {
    return ResolvedChannel{ChannelInfo{}, kind};
}

const ResolvedChannel kSpeed = ofKind(TelemetrySignalKind::speed);
const ResolvedChannel kThrottle = ofKind(TelemetrySignalKind::throttle);
const ResolvedChannel kBrake = ofKind(TelemetrySignalKind::brake);
const ResolvedChannel kRpm = ofKind(TelemetrySignalKind::rpm);
const ResolvedChannel kGear = ofKind(TelemetrySignalKind::gear);
const ResolvedChannel kLat = ofKind(TelemetrySignalKind::latAccel);
const ResolvedChannel kLon = ofKind(TelemetrySignalKind::lonAccel);
const ResolvedChannel kSteering = ofKind(TelemetrySignalKind::steering);
const ResolvedChannel kNone = ofKind(std::nullopt);

std::int64_t ticksAt(double seconds) {
    return std::llround(seconds * 10'000'000);
}

void add(OverlayAccumulator& accumulator, const ResolvedChannel& channel, double seconds,
         double v) {
    accumulator.add(channel, ChannelValueEvent{1, v, ticksAt(seconds)});
}

OverlayTelemetrySample only(OverlayAccumulator accumulator) {
    auto grid = std::move(accumulator).finish().grid;
    EXPECT_EQ(grid.size(), 1u);
    return grid.samples().front();
}

TEST(OverlayAccumulator, UnitConversions) {
    auto single = [](const ResolvedChannel& channel, double v) {
        OverlayAccumulator accumulator(false);
        add(accumulator, channel, 0, v);
        return only(std::move(accumulator));
    };
    EXPECT_DOUBLE_EQ(single(kSteering, 1.0).steeringDeg, 57.29577951308232);
    EXPECT_DOUBLE_EQ(single(kSteering, 90.0).steeringDeg, 90.0);
    EXPECT_NEAR(single(kRpm, 314.159).rpm, 3000.0, 0.01);
    EXPECT_EQ(single(kSpeed, -0.3).speedMps, 0.0);
    EXPECT_EQ(single(kThrottle, 1.7).throttle, 1.0);
    EXPECT_EQ(single(kBrake, -0.2).brake, 0.0);
    EXPECT_DOUBLE_EQ(single(kLat, 9.80665).latG, 1.0);
    EXPECT_DOUBLE_EQ(single(kLon, -19.6133).lonG, -2.0);
    EXPECT_EQ(single(kGear, 3.9).gear, 3);
    EXPECT_EQ(single(kGear, 1e30).gear, 0);  // out of the integer range: left unchanged
}

TEST(OverlayAccumulator, CarryForwardFillsEveryDecisecondAndTheLastValueInOneWins) {
    OverlayAccumulator accumulator(false);
    add(accumulator, kSpeed, 0.10, 10);
    add(accumulator, kThrottle, 0.10, 0.5);
    add(accumulator, kSpeed, 0.45, 12);
    const DecisecondGrid grid = std::move(accumulator).finish().grid;
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_EQ(grid.firstKey(), 1);
    EXPECT_EQ(grid.lastKey(), 4);
    EXPECT_EQ(*grid.find(2), *grid.find(1));
    EXPECT_EQ(*grid.find(3), *grid.find(1));
    EXPECT_EQ(grid.find(4)->speedMps, 12);
    EXPECT_EQ(grid.find(4)->throttle, 0.5);
    EXPECT_EQ(grid.find(0), nullptr);
    EXPECT_EQ(grid.find(5), nullptr);
    {
        OverlayAccumulator accumulator(false);
        add(accumulator, kSpeed, 1.01, 5);
        add(accumulator, kSpeed, 1.02, 6);
        add(accumulator, kNone, 1.5, 99);
        const DecisecondGrid grid = std::move(accumulator).finish().grid;
        ASSERT_EQ(grid.size(), 6u);
        EXPECT_EQ(grid.find(10)->speedMps, 6);
        EXPECT_EQ(grid.find(15)->speedMps, 6);
    }
}

TEST(OverlayAccumulator, NonFiniteValuesOrValuesThatOverflowInTheirUnitNeverReachAField) {
    OverlayAccumulator accumulator(true);
    add(accumulator, kSpeed, 0.0, 4);
    add(accumulator, kSpeed, 0.1, std::nan(""));
    add(accumulator, kRpm, 0.1, INFINITY);
    auto result = std::move(accumulator).finish();
    ASSERT_EQ(result.grid.size(), 2u);
    EXPECT_EQ(result.grid.find(1)->speedMps, 4);
    EXPECT_EQ(result.grid.find(1)->rpm, 0);
    EXPECT_EQ(result.bucketsBySecond.at(0).sampleCount, 3);
    EXPECT_EQ(result.bucketsBySecond.at(0).rpmMax, 0);
    {
        // 1e307 rad/s is a finite engine speed, but not in revolutions per minute.
        OverlayAccumulator accumulator(true);
        add(accumulator, kRpm, 0.0, 100);
        add(accumulator, kRpm, 0.1, 1e307);
        add(accumulator, kRpm, 0.2, -1e307);
        add(accumulator, kLat, 0.2, 1.7e308);  // finite in g: kept
        add(accumulator, kGear, 0.0, 4);
        add(accumulator, kGear, 0.1, -1e300);  // no integer: the gear stays
        auto result = std::move(accumulator).finish();
        ASSERT_EQ(result.grid.size(), 3u);
        const double firstRpm = result.grid.find(0)->rpm;
        EXPECT_NEAR(firstRpm, 954.93, 0.01);
        EXPECT_EQ(result.grid.find(1)->rpm, firstRpm);
        EXPECT_EQ(result.grid.find(2)->rpm, firstRpm);
        EXPECT_EQ(result.grid.find(1)->gear, 4);
        EXPECT_DOUBLE_EQ(result.grid.find(2)->latG, 1.7e308 / 9.80665);
        const FeatureBucket& bucket = result.bucketsBySecond.at(0);
        EXPECT_EQ(bucket.rpmMax, firstRpm);
        EXPECT_EQ(bucket.sampleCount, 6);  // dropped values still count as samples
        EXPECT_TRUE(std::isfinite(bucket.latAbsMaxG));
    }
}

std::vector<std::int64_t> repaired(std::vector<std::int64_t> gears) {
    std::vector<OverlayTelemetrySample> samples(gears.size());
    for (std::size_t i = 0; i < gears.size(); ++i)
        samples[i].gear = gears[i];
    repairGearGaps(samples);
    std::vector<std::int64_t> out;
    for (const auto& s : samples)
        out.push_back(s.gear);
    return out;
}

TEST(GearRepair, ShortGapsAfterAValidGearAreBridgedOnTheGrid) {
    EXPECT_EQ(repaired({2, 13, 2}), (std::vector<std::int64_t>{2, 2, 2}));
    EXPECT_EQ(repaired({0, 0, 3}), (std::vector<std::int64_t>{0, 0, 3}));
    EXPECT_EQ(repaired({2, -1, 0, 0, 0, 0, 0}), (std::vector<std::int64_t>{2, 2, 2, 2, 2, 2, 2}));
    EXPECT_EQ(repaired({2, 0, 0, 0, 0, 0, 0, 0, 3}),
              (std::vector<std::int64_t>{2, 0, 0, 0, 0, 0, 0, 0, 3}));
    // Gears from decoded values: {3, 0, 0, 4} on the grid.
    OverlayAccumulator accumulator(false);
    const double gears[] = {3, 0, 0, 4};
    for (int i = 0; i < 4; ++i)
        add(accumulator, kGear, i * 0.1, gears[i]);
    const DecisecondGrid grid = std::move(accumulator).finish().grid;
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_EQ(grid.find(1)->gear, 3);
    EXPECT_EQ(grid.find(2)->gear, 3);
    EXPECT_EQ(grid.find(3)->gear, 4);
}

TEST(FeatureBuckets, MaximaPerSecondAndContiguousList) {
    OverlayAccumulator accumulator(true);
    add(accumulator, kSpeed, 5.2, 30);
    add(accumulator, kSpeed, 5.9, 28);
    add(accumulator, kSpeed, 5.5, -3);
    add(accumulator, kThrottle, 5.1, 1.4);
    add(accumulator, kLat, 5.3, -19.6133);
    add(accumulator, kLon, 5.3, 9.80665);
    add(accumulator, kRpm, 5.0, 314.159);
    add(accumulator, kGear, 8.0, 4);
    add(accumulator, kNone, 8.5, 1);
    auto result = std::move(accumulator).finish();
    const auto list = contiguousBuckets(result.bucketsBySecond);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].second, 5);
    EXPECT_EQ(list[0].bucket.speedMaxMps, 30);
    EXPECT_EQ(list[0].bucket.throttleMax, 1.0);
    EXPECT_DOUBLE_EQ(list[0].bucket.latAbsMaxG, 2.0);
    EXPECT_DOUBLE_EQ(list[0].bucket.lonAbsMaxG, 1.0);
    EXPECT_NEAR(list[0].bucket.rpmMax, 3000, 0.01);
    EXPECT_EQ(list[0].bucket.sampleCount, 7);
    EXPECT_EQ(list[1].second, 6);
    EXPECT_EQ(list[1].bucket, FeatureBucket{});
    EXPECT_EQ(list[2].bucket, FeatureBucket{});
    EXPECT_EQ(list[3].second, 8);
    EXPECT_EQ(list[3].bucket.sampleCount, 2);
    EXPECT_TRUE(contiguousBuckets({}).empty());
}

}  // namespace
}  // namespace skelder
