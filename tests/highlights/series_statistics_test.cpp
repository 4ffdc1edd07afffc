#include "highlights/series_statistics.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace skelder {
namespace {

using ::testing::ElementsAre;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(PercentileValue, IsTheLowerNearestRankWithoutInterpolation) {
    const std::vector<double> values{40, 10, 30, 20, 50};  // sorted: 10 20 30 40 50
    EXPECT_EQ(percentileValue(values, 0.0), 10);
    EXPECT_EQ(percentileValue(values, 0.49), 20);  // 0.49 * 4 = 1.96 -> index 1
    EXPECT_EQ(percentileValue(values, 0.5), 30);
    EXPECT_EQ(percentileValue(values, 0.74), 30);  // 2.96 -> index 2
    EXPECT_EQ(percentileValue(values, 0.75), 40);
    EXPECT_EQ(percentileValue(values, 1.0), 50);
    EXPECT_EQ(percentileValue(std::vector<double>{7}, 0.88), 7);
}

TEST(PercentileValue, EmptyValuesGiveZeroAndTheFractionIsClamped) {
    EXPECT_EQ(percentileValue({}, 0.5), 0.0);
    const std::vector<double> values{3, 1, 2};
    EXPECT_EQ(percentileValue(values, -2.0), 1);
    EXPECT_EQ(percentileValue(values, 7.0), 3);
    EXPECT_EQ(percentileValue(values, kNaN), 1);
}

TEST(PercentileValue, ValuesThatAreNotNumbersRankAboveEveryNumber) {
    // Sorting with a plain `<` over such values is undefined; they must land at the top.
    std::vector<double> values;
    for (int i = 0; i < 100; ++i)
        values.push_back(i % 10 == 0 ? kNaN : static_cast<double>(i));
    EXPECT_EQ(percentileValue(values, 0.0), 1);
    EXPECT_EQ(percentileValue(values, 0.5), 55);  // index 49 of the 90 numbers 1..99
    EXPECT_TRUE(std::isnan(percentileValue(values, 1.0)));
}

TEST(TrailingMean, DividesByTheNumberOfElementsSeenUpToTheWindow) {
    const std::vector<double> values{3, 6, 9, 12, 0};
    EXPECT_THAT(trailingMean(values, 3), ElementsAre(3, 4.5, 6, 9, 7));
    EXPECT_THAT(trailingMean(values, 5), ElementsAre(3, 4.5, 6, 7.5, 6));
    EXPECT_THAT(trailingMean(values, 10), ElementsAre(3, 4.5, 6, 7.5, 6));
}

TEST(TrailingMean, WindowsBelowTwoAndEmptyInputReturnTheInput) {
    const std::vector<double> values{1, 5, 2};
    EXPECT_EQ(trailingMean(values, 1), values);
    EXPECT_EQ(trailingMean(values, 0), values);
    EXPECT_EQ(trailingMean(values, -4), values);
    EXPECT_TRUE(trailingMean({}, 3).empty());
}

}  // namespace
}  // namespace skelder
