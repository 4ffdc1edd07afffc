#include "sync/engine_speed_track.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace skelder::sync {
namespace {

// A grid from decisecond `first` with one engine speed per decisecond.
DecisecondGrid gridOf(std::int64_t first, int count, const std::function<double(double)>& rpm) {
    std::vector<OverlayTelemetrySample> samples;
    for (int i = 0; i < count; ++i)
        samples.push_back({.rpm = rpm(static_cast<double>(first + i) / 10)});
    return DecisecondGrid(first, std::move(samples));
}

TEST(EngineSpeedTrack, ReadsTheGridAsTheHudDoes) {
    const DecisecondGrid grid = gridOf(10, 3, [](double t) { return t < 1.05 ? 2000.0 : 4000.0; });
    // Linear between deciseconds, held before the first and after the last.
    EXPECT_DOUBLE_EQ(hudLogRpmAt(grid, 1.0), std::log(2000));
    EXPECT_DOUBLE_EQ(hudLogRpmAt(grid, 1.05), 0.5 * (std::log(2000) + std::log(4000)));
    EXPECT_DOUBLE_EQ(hudLogRpmAt(grid, 0.2), std::log(2000));
    EXPECT_DOUBLE_EQ(hudLogRpmAt(grid, -3), std::log(2000));
    EXPECT_DOUBLE_EQ(hudLogRpmAt(grid, 7), std::log(4000));
    // A stopped engine counts as running slowly, so its logarithm stays finite.
    const DecisecondGrid stopped = gridOf(0, 2, [](double) { return 0.0; });
    EXPECT_DOUBLE_EQ(hudLogRpmAt(stopped, 0.05), std::log(kRunningEngineRpm));
    EXPECT_THROW(hudLogRpmAt(DecisecondGrid(), 1), std::invalid_argument);
}

TEST(EngineSpeedTrack, FindsWhereTheEngineSpeedChangesWithASecondOnEachSide) {
    // Steady at 3000 rpm, a pull to 6000 rpm from 20 s to 23 s, steady again.
    const auto pull = [](double t) {
        return t < 20 ? 3000.0 : t < 23 ? 3000 * std::exp2((t - 20) / 3) : 6000.0;
    };
    const ChangingStretches found = findChangingStretches(gridOf(0, 600, pull), 240);
    ASSERT_EQ(found.stretches.size(), 1u);
    // The pull climbs ln 2 / 30 per decisecond, so the second around a decisecond averages the
    // 0.5 % threshold once three of its deciseconds lie in the pull: from 19.8 s to 23.2 s,
    // padded by a second on each side.
    EXPECT_NEAR(found.stretches[0].startSeconds, 18.8, 1e-9);
    EXPECT_NEAR(found.stretches[0].endSeconds, 24.3, 1e-9);
    EXPECT_NEAR(found.changingSeconds, 3.5, 1e-9);

    const ChangingStretches steady =
        findChangingStretches(gridOf(0, 600, [](double) { return 3000.0; }), 240);
    EXPECT_TRUE(steady.stretches.empty());
    EXPECT_EQ(steady.changingSeconds, 0);
    // Changes while the engine is stopped do not count.
    const ChangingStretches stopped =
        findChangingStretches(gridOf(0, 600, [](double t) { return t < 30 ? 0.0 : 200.0; }), 240);
    EXPECT_TRUE(stopped.stretches.empty());
}

}  // namespace
}  // namespace skelder::sync
