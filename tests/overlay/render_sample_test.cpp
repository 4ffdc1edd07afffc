#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "overlay/render_sample.hpp"

namespace skelder {
namespace {

OverlayTelemetrySample sampleWith(double k, std::int64_t gear, double latG, double lonG) {
    return {k, k / 1000, k / 2000, 100 * k, gear, latG, lonG, -k};
}

// A source with holes, keyed like the grid.
struct SparseSource {
    std::map<std::int64_t, OverlayTelemetrySample> samples;
    const OverlayTelemetrySample* find(std::int64_t tick) const {
        const auto found = samples.find(tick);
        return found == samples.end() ? nullptr : &found->second;
    }
};

// Ticks 0..count-1 with speed k, gear 1 + k % 5, and a G point that moves every tick.
DecisecondGrid movingGrid(int count) {
    std::vector<OverlayTelemetrySample> samples;
    for (int k = 0; k < count; ++k)
        samples.push_back(sampleWith(k, 1 + k % 5, k * 0.01, -k * 0.02));
    return DecisecondGrid(0, std::move(samples));
}

OverlaySampleBounds boundsOf(const DecisecondGrid& grid) {
    return *makeSampleBounds(grid);
}

TEST(RenderSample, InterpolatesRealFieldsAndSwitchesGearAtHalfway) {
    const DecisecondGrid grid = movingGrid(50);
    const auto quarter = buildRenderSample(grid, boundsOf(grid), 2.025);
    ASSERT_TRUE(quarter);
    EXPECT_NEAR(quarter->telemetry.speedMps, 20.25, 1e-9);
    EXPECT_NEAR(quarter->telemetry.throttle, 0.02025, 1e-12);
    EXPECT_NEAR(quarter->telemetry.lonG, -0.405, 1e-9);
    EXPECT_EQ(quarter->telemetry.gear, 1);  // tick 20

    const auto justBefore = buildRenderSample(grid, boundsOf(grid), 2.049);
    EXPECT_EQ(justBefore->telemetry.gear, 1);
    const auto half = buildRenderSample(grid, boundsOf(grid), 2.05);
    EXPECT_EQ(half->telemetry.gear, 2);  // tick 21
}

TEST(RenderSample, BeforeTheFirstTickShowsTheFirstSample) {
    std::vector<OverlayTelemetrySample> samples;
    for (int k = 30; k < 60; ++k)
        samples.push_back(sampleWith(k, 3, 0.1, 0.2));
    const DecisecondGrid grid(30, std::move(samples));
    for (const double seconds : {0.0, 1.0, 2.85}) {
        const auto result = buildRenderSample(grid, boundsOf(grid), seconds);
        ASSERT_TRUE(result) << seconds;
        EXPECT_EQ(result->telemetry, *grid.find(30)) << seconds;
        ASSERT_EQ(result->gHistory.size(), 1u) << "the first tick's point only";
    }
    // One tick before the first: the next tick's sample, unchanged.
    EXPECT_EQ(buildRenderSample(grid, boundsOf(grid), 2.95)->telemetry, *grid.find(30));
}

TEST(RenderSample, AfterTheLastTickKeepsTheLastSampleWithTheLastSixteenTicksAsTrail) {
    const DecisecondGrid grid = movingGrid(40);
    for (const double seconds : {3.9, 4.5, 1e6, std::numeric_limits<double>::infinity(), 1e300}) {
        const auto result = buildRenderSample(grid, boundsOf(grid), seconds);
        ASSERT_TRUE(result) << seconds;
        EXPECT_EQ(result->telemetry, *grid.find(39)) << seconds;
        ASSERT_EQ(result->gHistory.size(), 16u) << "current equals the last stored point";
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(result->gHistory[i], (GForcePoint{(24 + i) * 0.01, -(24 + i) * 0.02}));
        }
    }
}

TEST(RenderSample, NegativeOrNaNTimesSampleTheStart) {
    const DecisecondGrid grid = movingGrid(10);
    for (const double seconds : {-3.0, std::numeric_limits<double>::quiet_NaN()}) {
        const auto result = buildRenderSample(grid, boundsOf(grid), seconds);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->telemetry, *grid.find(0));
    }
}

TEST(RenderSample, TrailIsTheStoredPointsThatExistThenTheInterpolatedCurrentOne) {
    const DecisecondGrid grid = movingGrid(50);
    const auto result = buildRenderSample(grid, boundsOf(grid), 3.05);  // tick 30, frac 0.5
    ASSERT_TRUE(result);
    ASSERT_EQ(result->gHistory.size(), 17u);
    EXPECT_EQ(result->gHistory.front(), (GForcePoint{0.15, -0.30}));  // tick 15
    EXPECT_EQ(result->gHistory[15], (GForcePoint{0.30, -0.60}));      // tick 30, stored
    EXPECT_NEAR(result->gHistory.back().latG, 0.305, 1e-12);
    EXPECT_NEAR(result->gHistory.back().lonG, -0.61, 1e-12);
    EXPECT_NEAR(result->currentTotalG, std::hypot(0.305, 0.61), 1e-12);
    // Near the start only the ticks that exist: 0..3, the current point equal to tick 3's
    // stored point and not repeated.
    const auto early = buildRenderSample(grid, boundsOf(grid), 0.3);
    ASSERT_EQ(early->gHistory.size(), 4u);
    EXPECT_EQ(early->gHistory.front(), (GForcePoint{0, 0}));
}

TEST(RenderSample, PeakHoldCoversTheLastSixTicks) {
    std::vector<OverlayTelemetrySample> samples(40, sampleWith(5, 2, 0.1, 0.0));
    samples[14].latG = 0.9;  // seven ticks before tick 20: outside the hold
    samples[15].lonG = 0.6;  // six ticks up to 20 inclusive: inside
    const DecisecondGrid grid(0, std::move(samples));
    const auto result = buildRenderSample(grid, boundsOf(grid), 2.0);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->currentTotalG, 0.1, 1e-12);
    EXPECT_NEAR(result->heldPeakG, std::hypot(0.1, 0.6), 1e-12);

    const auto later = buildRenderSample(grid, boundsOf(grid), 2.1);
    EXPECT_NEAR(later->heldPeakG, 0.1, 1e-12) << "the spike has left the hold";
}

TEST(RenderSample, OneMissingTickIsBridgedTwoGiveNoHUD) {
    SparseSource source;
    for (std::int64_t k = 0; k <= 30; ++k) {
        if (k != 10 && k != 20 && k != 21)
            source.samples[k] = sampleWith(static_cast<double>(k), 2, 0, 0);
    }
    const OverlaySampleBounds bounds{0, 30};
    // Tick 9 present, 10 missing: tick 9 unchanged, not interpolated.
    const auto beforeHole = buildRenderSample(source, bounds, 0.97);
    ASSERT_TRUE(beforeHole);
    EXPECT_EQ(beforeHole->telemetry, source.samples[9]);
    // Tick 10 missing, 11 present: tick 11 unchanged.
    const auto inHole = buildRenderSample(source, bounds, 1.03);
    ASSERT_TRUE(inHole);
    EXPECT_EQ(inHole->telemetry, source.samples[11]);
    // The trail skips the missing key.
    EXPECT_EQ(inHole->gHistory.size(), 10u);  // keys 0..10 without 10, current equal to last

    // Ticks 20 and 21 missing: neither tick 20 nor 21 nor 22 as a neighbour of 20.
    EXPECT_FALSE(buildRenderSample(source, bounds, 2.05));
    // Tick 19 present: bridged.
    EXPECT_TRUE(buildRenderSample(source, bounds, 1.95));
    // Tick 21 missing, 22 present: bridged with tick 22.
    EXPECT_EQ(buildRenderSample(source, bounds, 2.15)->telemetry, source.samples[22]);
}

TEST(RenderSample, BoundsWhoseEndsAreMissingGiveNothing) {
    const DecisecondGrid grid = movingGrid(10);
    EXPECT_FALSE(buildRenderSample(grid, OverlaySampleBounds{0, 10}, 0.5));
    EXPECT_FALSE(buildRenderSample(grid, OverlaySampleBounds{-1, 9}, 0.5));
    EXPECT_FALSE(buildRenderSample(grid, OverlaySampleBounds{9, 0}, 0.5));
    EXPECT_TRUE(buildRenderSample(grid, OverlaySampleBounds{2, 8}, 0.5));
}

}  // namespace
}  // namespace skelder
