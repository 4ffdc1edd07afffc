#include "highlights/planning.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace skelder {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr auto kStrict = HighlightFilterMode::onlyBest;
constexpr auto kLenient = HighlightFilterMode::maybeInteresting;
constexpr std::int64_t kFirstSecond = 100;

// A recording of steady 1 g cornering without throttle, starting at kFirstSecond, so that
// every non-forced candidate passes the cornering filter.
std::vector<TimestampedFeatureBucket> cornering(int count) {
    std::vector<TimestampedFeatureBucket> buckets(count);
    for (int i = 0; i < count; ++i) {
        buckets[i].second = kFirstSecond + i;
        buckets[i].bucket.latAbsMaxG = 1.0;
    }
    return buckets;
}

void setScores(std::vector<double>& scores, int first, int last, double value) {
    for (int i = first; i <= last; ++i)
        scores[i] = value;
}

void setFullThrottle(std::vector<TimestampedFeatureBucket>& buckets, int first, int last) {
    for (int i = first; i <= last; ++i)
        buckets[i].bucket.throttleMax = 1.0;
}

struct Span {
    std::int64_t start, end;
    friend bool operator==(const Span&, const Span&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Span& span) {
        return out << span.start << ".." << span.end;
    }
};

// Selected segments as bucket-index spans.
std::vector<Span> spans(const std::vector<HighlightSegment>& segments) {
    std::vector<Span> result;
    for (const auto& segment : segments)
        result.push_back({segment.startSecond - kFirstSecond, segment.endSecond - kFirstSecond});
    return result;
}

std::vector<Span> plan(const std::vector<TimestampedFeatureBucket>& buckets,
                       const std::vector<double>& scores, HighlightFilterMode mode) {
    return spans(planHighlightSegments(buckets, scores, mode));
}

TEST(PlanHighlightSegments, EmptyOrMismatchedInputPlansNothing) {
    EXPECT_THAT(planHighlightSegments({}, {}, kStrict), IsEmpty());
    const auto buckets = cornering(10);
    std::vector<double> scores(9, 5.0);
    EXPECT_THAT(planHighlightSegments(buckets, scores, kStrict), IsEmpty());
    scores.resize(11, 5.0);
    EXPECT_THAT(planHighlightSegments(buckets, scores, kLenient), IsEmpty());
    scores.resize(10);
    EXPECT_THAT(plan(buckets, scores, kLenient), ElementsAre(Span{0, 9}));
}

TEST(PlanHighlightSegments, PaddedStretchesMergeWhenTheyTouchOrOverlap) {
    const auto buckets = cornering(40);
    std::vector<double> scores(40, 0.0);
    setScores(scores, 8, 10, 10.0);
    setScores(scores, 15, 17, 10.0);  // padded 6..12 and 13..19: 12 + 1 >= 13
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{6, 19}));

    std::fill(scores.begin(), scores.end(), 0.0);
    setScores(scores, 8, 10, 10.0);
    setScores(scores, 16, 18, 10.0);  // padded 6..12 and 14..20: 12 + 1 < 14
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{6, 12}, Span{14, 20}));
}

TEST(PlanHighlightSegments, PaddingIsClampedToTheRecording) {
    const auto buckets = cornering(20);
    std::vector<double> scores(20, 0.0);
    scores[0] = scores[19] = 10.0;
    // Three seconds each: long enough for the lenient set, too short for the strict one.
    EXPECT_THAT(plan(buckets, scores, kLenient), ElementsAre(Span{0, 2}, Span{17, 19}));
    EXPECT_THAT(plan(buckets, scores, kStrict), IsEmpty());
    scores[1] = scores[18] = 10.0;
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{0, 3}, Span{16, 19}));
}

TEST(PlanHighlightSegments, UniformScoresFormOneStretchOrNone) {
    const auto buckets = cornering(30);
    EXPECT_THAT(plan(buckets, std::vector<double>(30, 2.0), kStrict), ElementsAre(Span{0, 29}));
    // Below the strict minimum seed score of 0.6: nothing is hot.
    EXPECT_THAT(plan(buckets, std::vector<double>(30, 0.5), kStrict), IsEmpty());
    // The threshold is the common score, so every second is hot; the average then decides
    // (at least 0.6 lenient, 1.15 strict).
    EXPECT_THAT(plan(buckets, std::vector<double>(30, 0.75), kLenient), ElementsAre(Span{0, 29}));
    EXPECT_THAT(plan(buckets, std::vector<double>(30, 0.75), kStrict), IsEmpty());
}

TEST(PlanHighlightSegments, OnlyBestSelectsSixOfSevenCandidatesByTotalScore) {
    const auto buckets = cornering(100);
    std::vector<double> scores(100, 0.0);
    for (int k = 1; k <= 7; ++k)
        scores[10 * k] = 10.0 + k;  // each padded to five seconds; the first has the lowest total
    EXPECT_THAT(plan(buckets, scores, kStrict),
                ElementsAre(Span{18, 22}, Span{28, 32}, Span{38, 42}, Span{48, 52}, Span{58, 62},
                            Span{68, 72}));
    EXPECT_EQ(plan(buckets, scores, kLenient).size(), 7u);
}

TEST(PlanHighlightSegments, ForcedSegmentIsAlwaysTakenAndCountsTowardsTheLimit) {
    auto buckets = cornering(100);
    std::vector<double> scores(100, 0.0);
    for (int k = 1; k <= 6; ++k)
        scores[10 * k] = 10.0 + k;
    // Two seconds of full throttle with no score and no cornering.
    for (int i = 80; i <= 95; ++i)
        buckets[i].bucket.latAbsMaxG = 0.0;
    setFullThrottle(buckets, 85, 86);
    const auto segments = planHighlightSegments(buckets, scores, kStrict);
    EXPECT_THAT(spans(segments), ElementsAre(Span{18, 22}, Span{28, 32}, Span{38, 42}, Span{48, 52},
                                             Span{58, 62}, Span{83, 88}));
    const HighlightSegment& forced = segments.back();
    EXPECT_TRUE(forced.isForced);
    EXPECT_EQ(forced.totalScore, 0.0);
    EXPECT_EQ(forced.latSustainSeconds, 0);
    for (std::size_t i = 0; i + 1 < segments.size(); ++i)
        EXPECT_FALSE(segments[i].isForced);
}

TEST(PlanHighlightSegments, BudgetSkipsWhatDoesNotFitAndTakesALaterShorterOne) {
    const auto buckets = cornering(400);
    std::vector<double> scores(400, 0.0);
    setScores(scores, 10, 65, 5.0);     // 60 s padded, total 280
    setScores(scores, 100, 115, 10.0);  // 20 s padded, total 160: 60 + 20 > 75
    setScores(scores, 200, 205, 10.0);  // 10 s padded, total 60: fits
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{8, 67}, Span{198, 207}));
}

TEST(PlanHighlightSegments, NonForcedSegmentsNeedAverageScoreAndSustainedCornering) {
    auto buckets = cornering(60);
    std::vector<double> scores(60, 0.0);
    setScores(scores, 10, 11, 5.0);  // 10 / 6 s = 1.67 average
    setScores(scores, 30, 31, 1.5);  // 3 / 6 s = 0.5 average: fails both sets
    setScores(scores, 50, 51, 5.0);
    for (int i = 45; i <= 57; ++i)
        buckets[i].bucket.latAbsMaxG = i == 50 ? 0.3 : 0.29;  // one lenient sustained second
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{8, 13}));
    EXPECT_THAT(plan(buckets, scores, kLenient), ElementsAre(Span{8, 13}, Span{48, 53}));
}

TEST(PlanHighlightSegments, ScoresThatAreNotNumbersAreNeverHot) {
    const auto buckets = cornering(50);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THAT(plan(buckets, std::vector<double>(50, nan), kStrict), IsEmpty());
    // Half the scores are not numbers, so the seed percentile is not one either and the
    // threshold falls back to the minimum seed score.
    std::vector<double> scores(50, 0.0);
    setScores(scores, 25, 49, nan);
    scores[10] = scores[20] = 10.0;
    EXPECT_THAT(plan(buckets, scores, kStrict), ElementsAre(Span{8, 12}, Span{18, 22}));
}

std::vector<TimestampedFeatureBucket> pedalBuckets(std::initializer_list<FeatureBucket> values) {
    std::vector<TimestampedFeatureBucket> buckets;
    for (const FeatureBucket& bucket : values)
        buckets.push_back({static_cast<std::int64_t>(buckets.size()), bucket});
    return buckets;
}

FeatureBucket drive(double speed, double throttle, double brake = 0.0) {
    return {.speedMaxMps = speed, .throttleMax = throttle, .brakeMax = brake};
}

TEST(FindForcedRanges, FullThrottleRunsOfAtLeastTwoSeconds) {
    const auto& strict = kStrictPlannerParameters;
    // Full throttle at 1, at 3..4 and from 7 to the end; 6 brakes too hard (0.06 > 0.05).
    const auto buckets =
        pedalBuckets({drive(0, 0), drive(0, 1), drive(0, 0), drive(0, 0.98), drive(0, 1),
                      drive(0, 0.5), drive(0, 1, 0.06), drive(0, 1), drive(0, 1)});
    EXPECT_EQ(findForcedRanges(buckets, strict), (std::vector<SecondRange>{{3, 4}, {7, 8}}));
    // The lenient set accepts brake 0.06 (up to 0.08): 6..8 is one run.
    EXPECT_EQ(findForcedRanges(buckets, kLenientPlannerParameters),
              (std::vector<SecondRange>{{3, 4}, {6, 8}}));
}

TEST(FindForcedRanges, AccelerationRunsComeAfterFullThrottleRuns) {
    // Throttle 0.9 is no full throttle; gains 0, 1, 0, 1, 1, then full throttle with gain 1.
    const auto buckets = pedalBuckets({drive(0, 0.9), drive(1, 0.9), drive(1, 0.9), drive(2, 0.9),
                                       drive(3, 0.9), drive(4, 1), drive(5, 1)});
    EXPECT_EQ(findForcedRanges(buckets, kStrictPlannerParameters),
              (std::vector<SecondRange>{{5, 6}, {3, 6}}));
}

TEST(HighlightDebugLines, NoSegmentsGiveTheSingleNotice) {
    EXPECT_THAT(highlightDebugLines({}),
                ElementsAre("No highlight segments selected from current score threshold"));
}

TEST(HighlightDebugLines, FixedWidthTableWithSummary) {
    const std::vector<HighlightSegment> segments{
        {.startSecond = 12,
         .endSecond = 25,
         .durationSeconds = 14,
         .totalScore = 23.4567,
         .averageScore = 1.67548,
         .peakScore = 3.21,
         .latPeakG = 1.234,
         .latAverageG = 0.5,
         .latSustainSeconds = 7,
         .isForced = true},
        {.startSecond = 1234567,
         .endSecond = 1234570,
         .durationSeconds = 4,
         .totalScore = -1.5,
         .averageScore = -0.375},
    };
    EXPECT_THAT(highlightDebugLines(segments),
                ElementsAre("seg start end dur sum avg peak latpk latav latsus forced",
                            "  0    12    25  14  23.457  1.675  3.210  1.234  0.500      7 yes",
                            "  1 1234567 1234570   4  -1.500 -0.375  0.000  0.000  0.000      0 no",
                            "", "summary segments=2 total_duration=18s"));
}

}  // namespace
}  // namespace skelder
