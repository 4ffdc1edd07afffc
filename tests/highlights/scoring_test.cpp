#include "highlights/scoring.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace skelder {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;

constexpr double kTolerance = 1e-9;

FeatureBucket pedals(double speed, double throttle, double brake) {
    return {.speedMaxMps = speed, .throttleMax = throttle, .brakeMax = brake};
}

TEST(ScoreHighlightSeconds, EmptyRecordingGivesNoScores) {
    EXPECT_TRUE(scoreHighlightSeconds({}, HighlightFilterMode::onlyBest).empty());
    EXPECT_TRUE(scoreHighlightSeconds({}, HighlightFilterMode::maybeInteresting).empty());
}

TEST(ScoreHighlightSeconds, SecondZeroHasNoSpeedGainAndItsPedalActivityIsItsOwnPedals) {
    // Alone, every baseline equals the second's own value, so only the pedal terms remain:
    // pedal = 0.5 + 0.3, 0.95 * (0.8 - 0.04) + 1.1 * 0.3.
    EXPECT_THAT(
        scoreHighlightSeconds(std::vector{pedals(50, 0.5, 0.3)}, HighlightFilterMode::onlyBest),
        ElementsAre(DoubleNear(0.722 + 0.33, kTolerance)));
    // At 50 m/s and full throttle a gain measured from standstill would add launch and
    // acceleration bonuses; only pedal (0.95 * 0.96), launch throttle (0.9 * 0.12) and the
    // first full-throttle second (0.9) count.
    EXPECT_THAT(
        scoreHighlightSeconds(std::vector{pedals(50, 1.0, 0.0)}, HighlightFilterMode::onlyBest),
        ElementsAre(DoubleNear(0.912 + 0.108 + 0.9, kTolerance)));
}

TEST(ScoreHighlightSeconds, FullThrottleAndAccelerationBonusesGrowWithTheirRuns) {
    const std::vector<FeatureBucket> buckets{pedals(10, 1.0, 0), pedals(11, 1.0, 0),
                                             pedals(12, 1.0, 0)};
    // Launch: 0.9 * 0.12 + 1.35 * (gain 1 - 0.35) from second 1 on; full throttle 0.9 + 0.4 per
    // earlier second of the run; acceleration (gain 1 >= 0.7) 0.75 + 0.35 per earlier second.
    const double launch = 0.108 + 1.35 * 0.65;
    const auto expected = ElementsAre(DoubleNear(0.912 + 0.108 + 0.9, kTolerance),
                                      DoubleNear(launch + 1.3 + 0.75, kTolerance),
                                      DoubleNear(launch + 1.7 + 1.1, kTolerance));
    EXPECT_THAT(scoreHighlightSeconds(buckets, HighlightFilterMode::onlyBest), expected);
    EXPECT_THAT(scoreHighlightSeconds(buckets, HighlightFilterMode::maybeInteresting), expected);
}

TEST(ScoreHighlightSeconds, StrictThresholdsAreHigherThanLenientOnes) {
    // Throttle 0.97 is full throttle only for the lenient set (0.96 against 0.98); a gain of
    // 0.6 m/s is hard acceleration only there too (0.55 against 0.7).
    const std::vector<FeatureBucket> buckets{pedals(10, 0.97, 0), pedals(10.6, 0.97, 0)};
    const double pedal = 0.95 * (0.97 - 0.04);
    const double launch = 0.9 * (0.97 - 0.88);
    const double launchGain = 1.35 * (0.6 - 0.35);
    EXPECT_THAT(scoreHighlightSeconds(buckets, HighlightFilterMode::onlyBest),
                ElementsAre(DoubleNear(pedal + launch, kTolerance),
                            DoubleNear(launch + launchGain, kTolerance)));
    EXPECT_THAT(scoreHighlightSeconds(buckets, HighlightFilterMode::maybeInteresting),
                ElementsAre(DoubleNear(pedal + launch + 0.9, kTolerance),
                            DoubleNear(launch + launchGain + 1.3 + 0.75, kTolerance)));
}

TEST(ScoreHighlightSeconds, IdleSecondsArePenalisedByTheModesPenalty) {
    const std::vector<FeatureBucket> idle(3);
    EXPECT_THAT(scoreHighlightSeconds(idle, HighlightFilterMode::onlyBest),
                ElementsAre(-0.45, -0.45, -0.45));
    EXPECT_THAT(scoreHighlightSeconds(idle, HighlightFilterMode::maybeInteresting),
                ElementsAre(-0.3, -0.3, -0.3));
    // A throttle of 0.15 (at the limit) or pedal movement of 0.03 is no longer idle.
    const std::vector<FeatureBucket> nearlyIdle{pedals(0, 0.15, 0), pedals(0, 0.15, 0),
                                                pedals(0, 0.12, 0), pedals(0, 0.12, 0.0)};
    const auto scores = scoreHighlightSeconds(nearlyIdle, HighlightFilterMode::onlyBest);
    // pThr (lower median of 0.12 0.12 0.15 0.15) = 0.12.
    EXPECT_THAT(scores, ElementsAre(DoubleNear(0.95 * (0.15 - 0.04) + 1.35 * 0.03, kTolerance),
                                    DoubleNear(1.35 * 0.03, kTolerance),
                                    DoubleNear(0.0, kTolerance), DoubleNear(-0.45, kTolerance)));
}

TEST(ScoreHighlightSeconds, LateralExcessSmoothingAndSustainedCornering) {
    // Lateral G 0.0 .. 0.9 in steps of 0.1 under the lenient set: pLat = pComb = value at index
    // trunc(0.62 * 9) = trunc(0.65 * 9) = 5, i.e. 0.5; smoothing over 3 seconds; sustained from
    // 0.3 g on.
    std::vector<FeatureBucket> buckets(10);
    for (int i = 0; i < 10; ++i)
        buckets[i].latAbsMaxG = 0.1 * i;
    const auto scores = scoreHighlightSeconds(buckets, HighlightFilterMode::maybeInteresting);
    ASSERT_EQ(scores.size(), 10u);
    // Second 9: 1.2 * 0.4 + 1.9 * 0.4 (raw and combined excess), 2.1 * (0.8 - 0.5) (smoothed),
    // 0.32 * 6 (seven sustained seconds), idle -0.3.
    EXPECT_NEAR(scores[9], 1.24 + 0.63 + 1.92 - 0.3, kTolerance);
    // Second 3: first sustained second, below every baseline.
    EXPECT_NEAR(scores[3], -0.3, kTolerance);
    // Second 6: 3.1 * 0.1 + 2.1 * 0 (mean 0.5) + 0.32 * 3 - 0.3.
    EXPECT_NEAR(scores[6], 0.31 + 0.96 - 0.3, kTolerance);
}

TEST(ScoreHighlightSeconds, EngineSpeedFallbackWhenAlmostAllValuesAreBelowOne) {
    // pRpm = value at index trunc(0.65 * 9) = 5 = 0, so the excess is divided by 1 and every
    // second gains 0.2 * rpm / maxRpm.
    std::vector<FeatureBucket> buckets(10);
    buckets[8].rpmMax = 1000;
    buckets[9].rpmMax = 2000;
    const auto scores = scoreHighlightSeconds(buckets, HighlightFilterMode::onlyBest);
    ASSERT_EQ(scores.size(), 10u);
    EXPECT_NEAR(scores[0], -0.45, kTolerance);
    EXPECT_NEAR(scores[8], 0.7 * 1000 - 0.45 + 0.2 * 0.5, kTolerance);
    EXPECT_NEAR(scores[9], 0.7 * 2000 - 0.45 + 0.2, kTolerance);

    // With most values above 1 the excess is divided by the percentile and there is no bonus.
    for (auto& bucket : buckets)
        bucket.rpmMax = 4000;
    buckets[9].rpmMax = 6000;
    const auto normal = scoreHighlightSeconds(buckets, HighlightFilterMode::onlyBest);
    EXPECT_NEAR(normal[0], -0.45, kTolerance);
    EXPECT_NEAR(normal[9], 0.7 * 2000 / 4000 - 0.45, kTolerance);
}

}  // namespace
}  // namespace skelder
