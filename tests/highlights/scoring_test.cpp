#include "highlights/scoring.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace skelder {
namespace {

constexpr auto kStrict = HighlightFilterMode::onlyBest;
constexpr auto kLenient = HighlightFilterMode::maybeInteresting;

FeatureBucket pedals(double speed, double throttle, double brake = 0) {
    return {.speedMaxMps = speed, .throttleMax = throttle, .brakeMax = brake};
}

TEST(ScoreHighlightSeconds, IdleIsPenalisedAndHarderDrivingScoresHigher) {
    EXPECT_TRUE(scoreHighlightSeconds({}, kStrict).empty());
    // Idle seconds lose the mode's penalty, the strict one more.
    const std::vector<FeatureBucket> idle(3);
    for (const double score : scoreHighlightSeconds(idle, kStrict))
        EXPECT_DOUBLE_EQ(score, -0.45);
    for (const double score : scoreHighlightSeconds(idle, kLenient))
        EXPECT_DOUBLE_EQ(score, -0.3);

    // A full-throttle run gains with every second of it.
    const auto run = scoreHighlightSeconds(
        std::vector{pedals(10, 1), pedals(11, 1), pedals(12, 1), pedals(13, 1)}, kStrict);
    EXPECT_TRUE(std::is_sorted(run.begin(), run.end()) && run.front() < run.back());
    // Speed lost over a second is no gain: braking in from 13 m/s scores below pulling away.
    const auto slowing = scoreHighlightSeconds(
        std::vector{pedals(13, 1), pedals(12, 1), pedals(11, 1), pedals(10, 1)}, kStrict);
    EXPECT_LT(slowing[3], run[3] - 1);
    // Throttle 0.97 and a gain of 0.6 m/s count as full throttle and hard acceleration for the
    // lenient thresholds only.
    const std::vector<FeatureBucket> almost{pedals(10, 0.97), pedals(10.6, 0.97)};
    EXPECT_GT(scoreHighlightSeconds(almost, kLenient)[1],
              scoreHighlightSeconds(almost, kStrict)[1] + 2);

    // Cornering: more lateral G, sustained, scores more.
    std::vector<FeatureBucket> corner(10);
    for (int i = 0; i < 10; ++i)
        corner[i].latAbsMaxG = 0.1 * i;
    const auto cornering = scoreHighlightSeconds(corner, kLenient);
    EXPECT_TRUE(std::is_sorted(cornering.begin() + 3, cornering.end()));
    EXPECT_GT(cornering[9], 3);
}

TEST(ScoreHighlightSeconds, EngineSpeedCountsEvenWhenAlmostAllValuesAreBelowOne) {
    std::vector<FeatureBucket> buckets(10);
    buckets[8].rpmMax = 1000;
    buckets[9].rpmMax = 2000;
    const auto scores = scoreHighlightSeconds(buckets, kStrict);
    EXPECT_DOUBLE_EQ(scores[0], -0.45);
    EXPECT_GT(scores[8], 600);
    EXPECT_GT(scores[9], scores[8] + 600);
}

}  // namespace
}  // namespace skelder
