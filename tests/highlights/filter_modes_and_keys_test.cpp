#include <gtest/gtest.h>

#include <unordered_set>

#include "highlights/filter_mode.hpp"
#include "highlights/segments.hpp"

namespace skelder {
namespace {

TEST(HighlightFilterMode, TextFormsAndTitles) {
    EXPECT_EQ(textForm(HighlightFilterMode::onlyBest), "onlyBest");
    EXPECT_EQ(textForm(HighlightFilterMode::maybeInteresting), "maybeInteresting");
    EXPECT_EQ(displayTitle(HighlightFilterMode::onlyBest), "Only Best Clips");
    EXPECT_EQ(displayTitle(HighlightFilterMode::maybeInteresting), "Maybe Interesting");
    EXPECT_EQ(highlightFilterModeFromText("onlyBest"), HighlightFilterMode::onlyBest);
    EXPECT_EQ(highlightFilterModeFromText("maybeInteresting"),
              HighlightFilterMode::maybeInteresting);
    EXPECT_EQ(highlightFilterModeFromText("OnlyBest"), std::nullopt);
    EXPECT_EQ(highlightFilterModeFromText("Only Best Clips"), std::nullopt);
    EXPECT_EQ(highlightFilterModeFromText(""), std::nullopt);
    EXPECT_EQ(textForm(HighlightTier::best), "best");
    EXPECT_EQ(textForm(HighlightTier::maybeAdditional), "maybeAdditional");
}

TEST(PlannedSegmentKey, ComparesStartAndEndOnly) {
    const PlannedSegment a{10, 20, 11, 5.0, 0.5, 1.0};
    const PlannedSegment b{10, 20, 11, 9.0, 0.8, 2.0};
    EXPECT_EQ(PlannedSegmentKey::of(a), PlannedSegmentKey::of(b));
    std::unordered_set<PlannedSegmentKey> keys{{10, 20}, {20, 10}, {10, 21}};
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_TRUE(keys.contains(PlannedSegmentKey::of(b)));
    EXPECT_FALSE(keys.contains({11, 20}));
}

}  // namespace
}  // namespace skelder
