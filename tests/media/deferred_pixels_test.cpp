#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "media/ffmpeg_handles.hpp"
#include "media/pixel_conversion.hpp"
#include "tests/media/test_frames.hpp"

namespace skelder::media {
namespace {

// A decoded picture of noise, in the given format and colour description.
FramePtr noisyPicture(int width, int height, AVPixelFormat format, AVColorSpace matrix) {
    FramePtr picture = decodedPicture(width, height, format, matrix);
    std::minstd_rand random(9);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : (height + 1) / 2;
        for (int i = 0; i < picture->linesize[plane] * rows; ++i)
            picture->data[plane][i] = static_cast<std::uint8_t>(random());
    }
    return picture;
}

bool samePixel(const VideoFrame& a, const std::uint8_t* b, int bStride, int x, int y) {
    return std::memcmp(a.rawData() + y * a.stride() + x * 4, b + y * bStride + x * 4, 4) == 0;
}

struct DeferredCase {
    int width;
    int height;
    AVPixelFormat format;
    AVColorSpace matrix;
};

class DeferredPixels : public ::testing::TestWithParam<DeferredCase> {};

// The export makes only the pixels under the HUD, draws there, and hands the frame on: every
// pixel made later must be the one a whole conversion gives, and none drawn on may be lost.
TEST_P(DeferredPixels, MadeInPartsTheyEqualTheWholeConversionAndKeepWhatWasDrawn) {
    const auto [width, height, format, matrix] = GetParam();
    const FramePtr picture = noisyPicture(width, height, format, matrix);
    FramePool pool(width, height);
    VideoFrame whole = pool.makeFrame();
    ToBgraConverter().convert(*picture, whole);

    VideoFrame frame = pool.makeFrame();
    frame.setSourcePicture(picture.get());
    frame.deferPixels();
    ASSERT_TRUE(frame.hasDeferredPixels());
    const std::vector<PixelRegion> regions = {
        {width - 7, 1, width + 4, 9}, {-3, height - 5, 6, height}, {3, 3, 12, 8}, {5, 5, 9, 13}};
    frame.makePixelsIn(regions);
    int checked = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool inside = false;
            for (const PixelRegion& r : regions)
                inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            if (inside) {
                ASSERT_TRUE(samePixel(frame, whole.data(), whole.stride(), x, y)) << x << "," << y;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);

    // "Draw" inside a made region, then ask for every pixel.
    const std::uint8_t ink[4] = {1, 2, 3, 255};
    std::memcpy(frame.rawData() + 4 * frame.stride() + 4 * 4, ink, 4);
    const std::uint8_t* all = frame.data();
    EXPECT_FALSE(frame.hasDeferredPixels());
    EXPECT_EQ(std::memcmp(all + 4 * frame.stride() + 4 * 4, ink, 4), 0) << "the drawing was lost";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (x != 4 || y != 4) {
                ASSERT_TRUE(samePixel(frame, whole.data(), whole.stride(), x, y)) << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DeferredPixels,
    ::testing::Values(DeferredCase{64, 36, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709},
                      DeferredCase{35, 21, AV_PIX_FMT_YUV420P, AVCOL_SPC_SMPTE170M},
                      DeferredCase{33, 18, AV_PIX_FMT_YUVJ420P, AVCOL_SPC_BT470BG},
                      DeferredCase{40, 23, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT2020_NCL}));

TEST(DeferredPixels, NeedADecodedPictureOfTheFramesSizeAndFormat) {
    FramePool pool(16, 16);
    VideoFrame frame = pool.makeFrame();
    EXPECT_THROW(frame.deferPixels(), std::logic_error);
    const FramePtr other = noisyPicture(16, 8, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709);
    frame.setSourcePicture(other.get());
    EXPECT_THROW(frame.deferPixels(), std::logic_error);
    const FramePtr yuv444 = noisyPicture(16, 16, AV_PIX_FMT_YUV444P, AVCOL_SPC_BT709);
    frame.setSourcePicture(yuv444.get());
    EXPECT_THROW(frame.deferPixels(), std::logic_error);
}

}  // namespace
}  // namespace skelder::media
