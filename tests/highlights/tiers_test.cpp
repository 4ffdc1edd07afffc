#include "highlights/tiers.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace skelder {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

PlannedSegment segment(std::int64_t start, std::int64_t end, double total, double peak = 1.0) {
    const std::int64_t duration = end - start + 1;
    return {start, end, duration, total, total / static_cast<double>(duration), peak};
}

TelemetrySession sessionWith(std::vector<PlannedSegment> segments, std::uint64_t size = 1000) {
    return {.inputURL = "/recordings/lap.mp4",
            .fileSizeBytes = size,
            .highlightSegmentLines = {"plan lines"},
            .highlightSegments = std::move(segments)};
}

PlannedSegmentKey key(std::int64_t start, std::int64_t end) {
    return {start, end};
}

TEST(MergeTieredSegments, StrictSegmentsWinOverlapsAndTheRestKeepsTheHigherTotal) {
    using Tier = HighlightTier;
    const struct {
        const char* name;
        std::vector<PlannedSegment> lenient, strict, merged;
        std::vector<std::pair<const PlannedSegmentKey, Tier>> tiers;
    } cases[] = {
        {"found by both: once, with the strict scores",
         {segment(10, 20, 30.0)},
         {segment(10, 20, 12.0, 4.0)},
         {segment(10, 20, 12.0, 4.0)},
         {{key(10, 20), Tier::best}}},
        {"a strict segment beats an overlapping lenient one whatever the scores",
         {segment(10, 40, 500.0, 50.0)},
         {segment(20, 30, 1.0)},
         {segment(20, 30, 1.0)},
         {{key(20, 30), Tier::best}}},
        {"overlapping lenient ones keep the higher total",
         {segment(10, 25, 8.0), segment(20, 30, 9.0), segment(50, 60, 3.0)},
         {segment(50, 60, 3.5)},
         {segment(20, 30, 9.0), segment(50, 60, 3.5)},
         {{key(20, 30), Tier::maybeAdditional}, {key(50, 60), Tier::best}}},
        {"touching segments both stay",
         {segment(20, 30, 1.0)},
         {segment(5, 19, 2.0)},
         {segment(5, 19, 2.0), segment(20, 30, 1.0)},
         {{key(5, 19), Tier::best}, {key(20, 30), Tier::maybeAdditional}}},
        {"sharing one second is an overlap",
         {segment(20, 30, 1.0)},
         {segment(5, 20, 2.0)},
         {segment(5, 20, 2.0)},
         {{key(5, 20), Tier::best}}},
        {"equal starts are ordered by end before resolving",
         {segment(10, 20, 5.0), segment(10, 15, 4.0), segment(21, 22, 1.0)},
         {},
         {segment(10, 20, 5.0), segment(21, 22, 1.0)},
         {{key(10, 20), Tier::maybeAdditional}, {key(21, 22), Tier::maybeAdditional}}},
        {"both empty", {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto tiered = mergeTieredSegments(sessionWith(c.lenient), sessionWith(c.strict));
        EXPECT_EQ(tiered.session.highlightSegments, c.merged);
        EXPECT_THAT(tiered.tiers, UnorderedElementsAreArray(c.tiers));
    }
}

TEST(MergeTieredSegments, TakesFileAndSamplesFromTheLenientSessionAndWritesPreviewLines) {
    TelemetrySession lenient = sessionWith({segment(3, 9, 7.0)}, 4242);
    lenient.inputURL = "/recordings/lenient.mp4";
    lenient.overlaySamplesByDecisecond =
        std::make_shared<const DecisecondGrid>(5, std::vector<OverlayTelemetrySample>(3));
    TelemetrySession strict = sessionWith({}, 1);
    strict.inputURL = "/recordings/strict.mp4";
    const auto tiered = mergeTieredSegments(lenient, strict);
    EXPECT_EQ(tiered.session.inputURL, lenient.inputURL);
    EXPECT_EQ(tiered.session.fileSizeBytes, 4242u);
    EXPECT_EQ(tiered.session.overlaySamplesByDecisecond, lenient.overlaySamplesByDecisecond);
    EXPECT_EQ(tiered.session.highlightSegmentLines,
              highlightPreviewLines(tiered.session.highlightSegments));
}

TEST(AllBestTiers, KeepsTheStrictSessionAndMarksEverySegmentBest) {
    const TelemetrySession strict = sessionWith({segment(1, 5, 3.0), segment(9, 12, 4.0)});
    const auto tiered = allBestTiers(strict);
    EXPECT_EQ(tiered.session.highlightSegments, strict.highlightSegments);
    EXPECT_EQ(tiered.session.highlightSegmentLines, strict.highlightSegmentLines);
    EXPECT_THAT(tiered.tiers, UnorderedElementsAre(Pair(key(1, 5), HighlightTier::best),
                                                   Pair(key(9, 12), HighlightTier::best)));
}

// The survivor of exactly two overlapping segments, neither strict.
PlannedSegment survivor(const PlannedSegment& first, const PlannedSegment& second) {
    const std::vector<PlannedSegment> pair{first, second};
    const auto kept = resolveSegmentOverlaps(pair, {});
    EXPECT_EQ(kept.size(), 1u);
    return kept.front();
}

TEST(ResolveSegmentOverlaps, TieBreakersInOrder) {
    // Higher total.
    EXPECT_EQ(survivor(segment(0, 10, 5.0), segment(5, 12, 6.0)), segment(5, 12, 6.0));
    // Equal totals: the longer one.
    EXPECT_EQ(survivor(segment(0, 10, 6.0), segment(5, 12, 6.0)), segment(0, 10, 6.0));
    EXPECT_EQ(survivor(segment(0, 6, 6.0), segment(5, 12, 6.0)), segment(5, 12, 6.0));
    // Equal durations: the higher peak.
    EXPECT_EQ(survivor(segment(0, 7, 6.0, 2.0), segment(5, 12, 6.0, 3.0)),
              segment(5, 12, 6.0, 3.0));
    EXPECT_EQ(survivor(segment(0, 7, 6.0, 3.0), segment(5, 12, 6.0, 2.0)), segment(0, 7, 6.0, 3.0));
    // Equal peaks: the smaller start. Given out of order, the later one in the walk can win.
    EXPECT_EQ(survivor(segment(5, 12, 6.0), segment(0, 7, 6.0)), segment(0, 7, 6.0));
    // Equal starts: the smaller end (only reachable with equal durations when out of order).
    PlannedSegment longEnd = segment(0, 7, 6.0);
    PlannedSegment shortEnd = longEnd;
    shortEnd.endSecond = 6;  // same recorded duration, smaller end
    EXPECT_EQ(survivor(longEnd, shortEnd), shortEnd);
    // All equal: the segment already kept stays; the average is not compared.
    PlannedSegment first = segment(0, 7, 6.0);
    PlannedSegment same = first;
    same.averageScore = 99.0;
    EXPECT_EQ(survivor(first, same), first);
}

TEST(ResolveSegmentOverlaps, StrictKeyWinsOnlyWhenExactlyOneIsStrict) {
    const std::vector<PlannedSegment> segments{segment(0, 10, 50.0), segment(5, 15, 1.0)};
    EXPECT_THAT(resolveSegmentOverlaps(segments, {key(5, 15)}), ElementsAre(segment(5, 15, 1.0)));
    EXPECT_THAT(resolveSegmentOverlaps(segments, {key(0, 10)}), ElementsAre(segment(0, 10, 50.0)));
    EXPECT_THAT(resolveSegmentOverlaps(segments, {key(0, 10), key(5, 15)}),
                ElementsAre(segment(0, 10, 50.0)));
}

TEST(ResolveSegmentOverlaps, LaterSegmentsAreComparedWithTheSurvivor) {
    // 5..15 replaces 0..10, then overlaps 14..20 (lower total) and stays; 21..25 is apart.
    const std::vector<PlannedSegment> segments{segment(0, 10, 1.0), segment(5, 15, 3.0),
                                               segment(14, 20, 2.0), segment(21, 25, 0.5)};
    EXPECT_THAT(resolveSegmentOverlaps(segments, {}),
                ElementsAre(segment(5, 15, 3.0), segment(21, 25, 0.5)));
}

TEST(HighlightPreviewLines, NumberedLinesThenSummaryWithoutBlankLine) {
    const std::vector<PlannedSegment> segments{
        {12, 25, 14, 23.4567, 1.67548, 3.21},
        {1234, 12345, 11112, -0.5, -0.25, 0.0},
    };
    EXPECT_THAT(highlightPreviewLines(segments),
                ElementsAre("#01 start=  12s end=  25s duration= 14s total= 23.457 avg= 1.675 "
                            "peak= 3.210",
                            "#02 start=1234s end=12345s duration=11112s total= -0.500 avg=-0.250 "
                            "peak= 0.000",
                            "summary segments=2 total_duration=11126s"));
    EXPECT_THAT(highlightPreviewLines({}),
                ElementsAre("No highlight segments selected from current score threshold"));
}

TEST(HighlightPreviewLines, NumbersPastNinetyNineWiden) {
    std::vector<PlannedSegment> segments(100, segment(1, 1, 0.0));
    const auto lines = highlightPreviewLines(segments);
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[8].substr(0, 4), "#09 ");
    EXPECT_EQ(lines[99].substr(0, 5), "#100 ");
    EXPECT_EQ(lines[100], "summary segments=100 total_duration=100s");
}

}  // namespace
}  // namespace skelder
