#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "overlay/gforce_meter.hpp"

namespace skelder {
namespace {

// The meter at s = 1: 170 x 128, disk centre (85, 69.12), radius 46.08 (y from the bottom).
constexpr int kWidth = 170;
constexpr int kHeight = 128;
constexpr double kCentreX = 85;
constexpr double kCentreY = 69.12;
constexpr double kRadius = 46.08;

BgraPixel at(const BgraImage& image, double x, double y) {
    return image.pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

bool isYellow(BgraPixel p) {
    return p.r > 150 && p.g > 110 && p.b < 120 && p.a > 150;
}

bool isDisk(BgraPixel p) {
    return p.r < 12 && p.g < 12 && p.b < 12 && p.a >= 245;
}

BgraImage meter(const std::vector<GForcePoint>& history, double latG, double lonG) {
    auto image = makeGForceMeterImage(history, latG, lonG, kWidth, kHeight);
    EXPECT_TRUE(image.has_value());
    return std::move(*image);
}

TEST(GForceMeter, LateralGToTheRightAndBrakingUpwards) {
    const BgraImage right = meter({{1.6, 0}}, 1.6, 0);
    // Clamped to the rim: the dot's inner half shows, the part outside the disk is clipped.
    EXPECT_TRUE(isYellow(at(right, kCentreX + kRadius - 3, kCentreY)));
    EXPECT_EQ(at(right, kCentreX + kRadius + 3, kCentreY).a, 0);
    EXPECT_TRUE(isDisk(at(right, kCentreX - 10, kCentreY + 10)));

    const BgraImage braking = meter({{0, -0.8}}, 0, -0.8);
    EXPECT_TRUE(isYellow(at(braking, kCentreX, kCentreY + 0.8 * kRadius)));
    EXPECT_FALSE(isYellow(at(braking, kCentreX, kCentreY - 0.8 * kRadius)));

    const BgraImage accelerating = meter({{0, 0.5}}, 0, 0.5);
    EXPECT_TRUE(isYellow(at(accelerating, kCentreX, kCentreY - 0.5 * kRadius)));
}

TEST(GForceMeter, NonFiniteValuesSitAtTheCentre) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const BgraImage image = meter({{nan, nan}}, nan, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(isYellow(at(image, kCentreX, kCentreY)));
}

TEST(GForceMeter, TrailNeedsTwoPointsAndFadesTowardsTheOldest) {
    // Points at lonG -0.2 lie above the horizontal crosshair, clear of the rings.
    const double y = kCentreY + 0.2 * kRadius;
    const BgraImage single = meter({{-0.6, -0.2}}, 0.6, -0.2);
    EXPECT_TRUE(isDisk(at(single, kCentreX - 0.6 * kRadius, y)))
        << "one point: no trail, only the current dot";

    std::vector<GForcePoint> trail;
    for (int k = 0; k < 12; ++k) {
        trail.push_back({-0.6 + 0.1 * k, -0.2});
    }
    const BgraImage withTrail = meter(trail, trail.back().latG, trail.back().lonG);
    const BgraPixel oldest = at(withTrail, kCentreX - 0.6 * kRadius, y);
    const BgraPixel newer = at(withTrail, kCentreX + 0.3 * kRadius, y);
    EXPECT_GT(oldest.r, 12) << "the oldest point is drawn";
    EXPECT_GT(newer.r, oldest.r + 30) << "newer points are brighter";
}

// A render worker keeps one raster and paints each frame's trail over a copy of the meter's
// face: nothing of the previous frame may show through, at the rim (where marks are clipped)
// or inside.
TEST(GForceMeter, AReusedRasterPaintsEachFrameAsAFreshOne) {
    GForceMeterRaster raster;
    std::vector<GForcePoint> history;
    for (int frame = 0; frame < 30; ++frame) {
        const double lat = std::sin(frame * 0.4) * 1.3;  // past the rim at the turns
        const double lon = std::cos(frame * 0.3) * 0.5;
        history.push_back({lat, lon});
        const BgraImage* reused = raster.render(history, lat, lon, kWidth, kHeight);
        ASSERT_NE(reused, nullptr);
        const BgraImage fresh = meter(history, lat, lon);
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(std::memcmp(reused->data() + y * reused->stride(),
                                  fresh.data() + y * fresh.stride(), kWidth * 4),
                      0)
                << "frame " << frame << " row " << y;
        }
    }
}

}  // namespace
}  // namespace skelder
