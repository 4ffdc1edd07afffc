#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "media/square_runs.hpp"

namespace skelder::media {
namespace {

// How often each pixel was visited, filled from the runs.
std::vector<int> visits(std::span<const PixelRegion> regions, int width, int height, bool covered) {
    std::vector<int> count(static_cast<std::size_t>(width) * height, 0);
    const auto visit = [&](const SquareRun& run) {
        EXPECT_EQ(run.left % 2, 0);
        EXPECT_EQ(run.top % 2, 0);
        EXPECT_LT(run.left, run.right);
        EXPECT_LE(run.right, width);
        EXPECT_EQ(run.rows, std::min(2, height - run.top));
        for (int y = run.top; y < run.top + run.rows; ++y)
            for (int x = run.left; x < run.right; ++x)
                ++count[static_cast<std::size_t>(y) * width + x];
    };
    if (covered)
        forEachCoveredRun(regions, width, height, visit);
    else
        forEachUncoveredRun(regions, width, height, visit);
    return count;
}

// Whether any region reaches into the 2 × 2 square holding pixel (x, y) of a `width` ×
// `height` picture, pixel by pixel; the parts of regions outside the picture reach nothing.
bool squareReached(std::span<const PixelRegion> regions, int width, int height, int x, int y) {
    for (const PixelRegion& r : regions) {
        const int left = std::max(r.left, 0), right = std::min(r.right, width);
        const int top = std::max(r.top, 0), bottom = std::min(r.bottom, height);
        if (left < (x & ~1) + 2 && right > (x & ~1) && left < right && top < (y & ~1) + 2 &&
            bottom > (y & ~1) && top < bottom)
            return true;
    }
    return false;
}

// Up to seven boxes of up to 23 × 23 pixels, some reaching past the picture's edges.
std::vector<PixelRegion> someRegions(std::minstd_rand& random, int width, int height) {
    std::vector<PixelRegion> regions(random() % 8);
    for (PixelRegion& region : regions) {
        const int left = static_cast<int>(random() % (width + 10)) - 5;
        const int top = static_cast<int>(random() % (height + 10)) - 5;
        region = {left, top, left + static_cast<int>(random() % 24),
                  top + static_cast<int>(random() % 24)};
    }
    return regions;
}

// The HUD's boxes overlap, touch and reach past the picture; the encoder converts the covered
// runs back and a lazily made frame fills in the uncovered ones, so together they must hold
// every pixel exactly once, and the covered ones exactly the reached squares.
TEST(SquareRuns, CoveredAndUncoveredRunsShareThePictureOutSquareBySquare) {
    std::minstd_rand random(5);
    for (const auto& [width, height] :
         {std::pair{64, 48}, std::pair{35, 21}, std::pair{1, 1}, std::pair{2, 7}}) {
        for (int round = 0; round < 20; ++round) {
            const std::vector<PixelRegion> regions = someRegions(random, width, height);
            const std::vector<int> covered = visits(regions, width, height, true);
            const std::vector<int> uncovered = visits(regions, width, height, false);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * width + x;
                    ASSERT_EQ(covered[i] + uncovered[i], 1) << x << "," << y;
                    ASSERT_EQ(covered[i] == 1, squareReached(regions, width, height, x, y))
                        << x << "," << y;
                }
            }
        }
    }
}

// The export lays the HUD's static panels straight onto the decoded picture where no changing
// element covers them, and converts the elements' squares from BGRA: the two must share the
// panels' squares out exactly, or a square gets the panel twice or not at all.
TEST(SquareRuns, RunsCoveredOnlyByTheFirstRegionsLeaveOutEverySquareTheOthersReach) {
    std::minstd_rand random(8);
    for (const auto& [width, height] : {std::pair{64, 48}, std::pair{35, 21}, std::pair{2, 7}}) {
        for (int round = 0; round < 30; ++round) {
            const std::vector<PixelRegion> regions = someRegions(random, width, height);
            const std::vector<PixelRegion> others = someRegions(random, width, height);
            std::vector<int> count(static_cast<std::size_t>(width) * height, 0);
            forEachRunCoveredOnlyBy(regions, others, width, height, [&](const SquareRun& run) {
                ASSERT_EQ(run.left % 2, 0);
                ASSERT_LT(run.left, run.right);
                for (int y = run.top; y < run.top + run.rows; ++y)
                    for (int x = run.left; x < run.right; ++x)
                        ++count[static_cast<std::size_t>(y) * width + x];
            });
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const bool expected = squareReached(regions, width, height, x, y) &&
                                          !squareReached(others, width, height, x, y);
                    ASSERT_EQ(count[static_cast<std::size_t>(y) * width + x], expected ? 1 : 0)
                        << x << "," << y << " in " << width << "x" << height;
                }
            }
        }
    }
}

}  // namespace
}  // namespace skelder::media
