#include "media/media_time.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "media/affine_transform.hpp"

namespace skelder::media {
namespace {

TEST(MediaTime, ExactArithmeticAcrossScales) {
    const MediaTime third{200, 600};     // 1/3 s
    const MediaTime frame{1001, 30000};  // one frame at 29.97
    const MediaTime sum = third + frame;
    EXPECT_EQ(sum.timescale, 30000);
    EXPECT_EQ(sum.value, 10000 + 1001);
    EXPECT_EQ(sum - frame, third);
    EXPECT_TRUE(MediaTime(1, 3) == MediaTime(200, 600));
    EXPECT_LT(MediaTime(1001, 30000), MediaTime(1, 29));
    EXPECT_GT(MediaTime(1001, 30000), MediaTime(1, 30));
    EXPECT_EQ(min(third, frame), frame);
    EXPECT_EQ(max(third, frame), third);
    EXPECT_DOUBLE_EQ(MediaTime(-300, 600).seconds(), -0.5);
}

TEST(MediaTime, FromSecondsAtScale600) {
    EXPECT_EQ(MediaTime::fromSeconds(2.5), MediaTime(1500, 600));
    EXPECT_EQ(MediaTime::fromSeconds(2.5).timescale, 600);
    EXPECT_EQ(MediaTime::fromSeconds(0.0011).value, 1);  // nearest unit
    EXPECT_THROW(MediaTime::fromSeconds(1e300), std::out_of_range);
    EXPECT_THROW(MediaTime::fromSeconds(std::nan("")), std::out_of_range);
    EXPECT_EQ(MediaTime::fromRational(3, 1, 15360), MediaTime(3, 15360));
    EXPECT_EQ(MediaTime(1, 3).convertedTo(600).value, 200);
    EXPECT_EQ(MediaTime(1500, 600).unitsOf(1, 48000), 120000);
}

TEST(AffineTransform, DisplayMatrixRoundTripAndRotation) {
    for (int degrees : {0, 90, 180, 270}) {
        const auto transform = AffineTransform::rotation(degrees, 1920, 1080);
        const auto matrix = transform.displayMatrix();
        EXPECT_EQ(AffineTransform::fromDisplayMatrix(matrix.data()), transform) << degrees;
        EXPECT_EQ(transform.clockwiseDegrees(), degrees);
        EXPECT_FALSE(transform.isMirrored());
    }
    // The portrait phone convention: stored landscape, shown turned a quarter clockwise.
    const auto portrait = AffineTransform::rotation(90, 1920, 1080);
    EXPECT_EQ(portrait, (AffineTransform{0, 1, -1, 0, 1080, 0}));
    EXPECT_TRUE((AffineTransform{-1, 0, 0, 1, 100, 0}).isMirrored());
}

}  // namespace
}  // namespace skelder::media
