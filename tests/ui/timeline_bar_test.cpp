#include "ui/timeline_bar.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace skelder::ui {
namespace {

using ::testing::DoubleEq;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

PlannedSegment segment(std::int64_t start, std::int64_t end) {
    return {start, end, end - start + 1, 10.0, 1.0, 2.0};
}

TimelineBar barOn(std::int64_t start, std::int64_t end, double duration) {
    return timelineBarFor(segment(start, end), duration, HighlightTier::best, true);
}

TEST(TimelineBarFor, PlacesTheSegmentAsFractionsOfTheDuration) {
    const TimelineBar bar =
        timelineBarFor(segment(30, 39), 600, HighlightTier::maybeAdditional, false);
    EXPECT_THAT(bar.startRatio, DoubleEq(30.0 / 600));
    EXPECT_THAT(bar.widthRatio, DoubleEq(10.0 / 600));  // the end second counts
    EXPECT_EQ(bar.tier, HighlightTier::maybeAdditional);
    EXPECT_FALSE(bar.isIncludedInExport);
    EXPECT_EQ(bar.segment, segment(30, 39));
}

TEST(TimelineBarFor, ClampsSegmentsToTheTimelineAndKeepsThemVisible) {
    // Starts before the recording: from 0 to the end of second 4.
    EXPECT_THAT(barOn(-3, 4, 100).startRatio, DoubleEq(0));
    EXPECT_THAT(barOn(-3, 4, 100).widthRatio, DoubleEq(0.05));
    // Runs past the end: cut at the duration.
    EXPECT_THAT(barOn(95, 120, 100).widthRatio, DoubleEq(0.05));
    // Starts after the end: a sliver at the very end.
    EXPECT_THAT(barOn(150, 160, 100).startRatio, DoubleEq(1));
    EXPECT_THAT(barOn(150, 160, 100).widthRatio, DoubleEq(0.002));
    // An end before the start counts as a one-second segment.
    EXPECT_THAT(barOn(50, 40, 100).widthRatio, DoubleEq(0.01));
    // Short bars stay visible, long ones within the track.
    EXPECT_THAT(barOn(10, 10, 3600).widthRatio, DoubleEq(0.002));  // 1/3600 is raised
    EXPECT_THAT(barOn(0, 9, 5).widthRatio, DoubleEq(1));
    // Durations below one second count as one second.
    EXPECT_THAT(barOn(0, 0, 0).widthRatio, DoubleEq(1));
    EXPECT_THAT(barOn(0, 0, -5).startRatio, DoubleEq(0));
    EXPECT_THAT(barOn(0, 0, std::numeric_limits<double>::quiet_NaN()).widthRatio, DoubleEq(1));
}

// A ten-second highlight is centred in its hit area; bars at the ends are pushed inwards.
TEST(TimelineBarLayouts, HitAreasAroundSingleBars) {
    const auto layouts = timelineBarLayouts({barOn(300, 309, 600)}, 600);
    ASSERT_EQ(layouts.size(), 1u);
    EXPECT_THAT(layouts[0].visualWidth, DoubleEq(10));
    EXPECT_THAT(layouts[0].visualStart, DoubleEq(300));
    EXPECT_THAT(layouts[0].hitWidth, DoubleEq(18));
    EXPECT_THAT(layouts[0].hitStart, DoubleEq(296));

    const auto first = timelineBarLayouts({barOn(0, 9, 600)}, 600);
    EXPECT_THAT(first[0].hitStart, DoubleEq(0));
    EXPECT_THAT(first[0].visualStart, DoubleEq(4));
    const auto last = timelineBarLayouts({barOn(590, 599, 600)}, 600);
    EXPECT_THAT(last[0].hitStart + last[0].hitWidth, DoubleEq(600));
    EXPECT_THAT(last[0].visualStart + last[0].visualWidth, DoubleEq(596));
}

TEST(TimelineBarLayouts, NeighboursSplitTheirContestedSpaceHalfwayAndKeepTheirOrder) {
    // One second is one point: the visible bars cover [100, 101) and [102, 103).
    const auto layouts = timelineBarLayouts({barOn(100, 100, 400), barOn(102, 102, 400)}, 400);
    ASSERT_EQ(layouts.size(), 2u);
    EXPECT_THAT(layouts[0].hitStart, DoubleEq(91.5));
    EXPECT_THAT(layouts[0].hitStart + layouts[0].hitWidth, DoubleEq(101.5));
    EXPECT_THAT(layouts[1].hitStart, DoubleEq(101.5));
    EXPECT_THAT(layouts[1].hitStart + layouts[1].hitWidth, DoubleEq(111.5));
    // The drawn bars stay where they are.
    EXPECT_THAT(layouts[0].visualStart, DoubleEq(100));
    EXPECT_THAT(layouts[1].visualStart, DoubleEq(102));

    // Three crowded bars keep ordered hit areas that do not overlap.
    const auto crowded =
        timelineBarLayouts({barOn(100, 100, 600), barOn(101, 101, 600), barOn(102, 102, 600)}, 600);
    ASSERT_EQ(crowded.size(), 3u);
    for (std::size_t i = 0; i + 1 < crowded.size(); ++i) {
        EXPECT_LE(crowded[i].hitStart + crowded[i].hitWidth, crowded[i + 1].hitStart + 1e-9);
        EXPECT_GE(crowded[i].hitWidth, 0);
    }
}

TEST(TimelineBarLayouts, NarrowTracksAndNoBars) {
    EXPECT_THAT(timelineBarLayouts({}, 600), IsEmpty());
    EXPECT_THAT(timelineBarLayouts({barOn(1, 2, 10), barOn(5, 6, 10)}, 0),
                ElementsAre(TimelineBarLayout{}, TimelineBarLayout{}));
    EXPECT_THAT(timelineBarLayouts({barOn(1, 2, 10)}, -40), ElementsAre(TimelineBarLayout{}));
    // A track narrower than the minimum hit width: the hit area is the whole track.
    const auto narrow = timelineBarLayouts({barOn(4, 4, 10)}, 10);
    EXPECT_THAT(narrow[0].hitStart, DoubleEq(0));
    EXPECT_THAT(narrow[0].hitWidth, DoubleEq(10));
    EXPECT_THAT(narrow[0].visualWidth, DoubleEq(1));
    EXPECT_THAT(narrow[0].visualStart, DoubleEq(4.5));
}

TEST(TimelinePlayheadX, ShowsOnlyWhilePlayingWithAKnownTimeAndDurationOnTheTrack) {
    EXPECT_EQ(timelinePlayheadX(false, 30.0, 60.0, 600), std::nullopt);
    EXPECT_EQ(timelinePlayheadX(true, std::nullopt, 60.0, 600), std::nullopt);
    EXPECT_EQ(timelinePlayheadX(true, 30.0, std::nullopt, 600), std::nullopt);
    EXPECT_EQ(timelinePlayheadX(true, 30.0, 0.0, 600), std::nullopt);
    EXPECT_EQ(timelinePlayheadX(true, 30.0, 60.0, 600), 300.0);
    // It stays on the track.
    EXPECT_EQ(timelinePlayheadX(true, -4.0, 60.0, 600), 0.0);
    EXPECT_EQ(timelinePlayheadX(true, 90.0, 60.0, 600), 600.0);
    EXPECT_EQ(timelinePlayheadX(true, 30.0, 60.0, -10), 0.0);
}

}  // namespace
}  // namespace skelder::ui
