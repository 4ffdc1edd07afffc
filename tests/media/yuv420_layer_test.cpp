#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "media/bgra_to_yuv420.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/input_file.hpp"
#include "media/yuv420_layer.hpp"
#include "media/yuv_to_bgra.hpp"
#include "tests/media/test_frames.hpp"

namespace skelder::media {
namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 20;

// A picture of colours RGB can show: RGB noise in 2 × 2 squares of one colour, encoded.
FramePtr cameraPicture(const ColorProperties& color, unsigned seed) {
    std::vector<std::uint8_t> bgra(kWidth * kHeight * 4);
    std::minstd_rand random(seed);
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; x += 2) {
            const std::uint8_t b = random(), g = random(), r = random();
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    std::uint8_t* p = &bgra[((y + dy) * kWidth + x + dx) * 4];
                    p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
                }
            }
        }
    }
    FramePtr picture = decodedPicture(kWidth, kHeight);
    convertBgraToYuv420(bgra.data(), kWidth * 4,
                        {picture->data[0], picture->linesize[0], picture->data[1],
                         picture->linesize[1], picture->data[2], picture->linesize[2]},
                        kWidth, kHeight, yuvCoefficientsFor(color));
    return picture;
}

// Premultiplied pixels as the HUD's panels have them: clear stretches, opaque stretches and
// translucent ones, in squares and across them.
std::vector<std::uint8_t> panelPixels(int width, int height, unsigned seed) {
    std::vector<std::uint8_t> bgra(width * height * 4);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int kind = (x / 4 + y / 2) % 3;
            const std::uint8_t alpha = kind == 0   ? 0
                                       : kind == 1 ? 255
                                                   : static_cast<std::uint8_t>(random());
            std::uint8_t* p = &bgra[(y * width + x) * 4];
            for (int c = 0; c < 3; ++c)
                p[c] = alpha == 0 ? 0 : static_cast<std::uint8_t>(random() % (alpha + 1));
            p[3] = alpha;
        }
    }
    return bgra;
}

std::uint8_t& sample(AVFrame& picture, int plane, int x, int y) {
    return picture.data[plane][y * picture.linesize[plane] + x];
}

struct LayerCase {
    AVColorSpace matrix;
    AVColorRange range;
};

class Yuv420LayerComposite : public ::testing::TestWithParam<LayerCase> {};

// The export lays the HUD's static panels straight onto the decoded picture instead of
// converting the picture to BGRA, compositing there and converting back: the result must be
// that of the long way, to the rounding; where the panel is clear the picture stays exactly as
// decoded, where it is opaque it is exactly the panel's own colour, and nothing beside the
// panel changes.
TEST_P(Yuv420LayerComposite, GivesWhatCompositingInBgraGives) {
    const auto [matrix, range] = GetParam();
    const ColorProperties color{matrix, range};
    const int left = 6, top = 4, width = 30, height = 12;
    const std::vector<std::uint8_t> panel = panelPixels(width, height, 3);
    const Yuv420Layer::Patch patch{left, top, width, height, panel.data(), width * 4};
    const Yuv420Layer layer(std::span(&patch, 1), color);

    const FramePtr decoded = cameraPicture(color, 11);
    FramePtr ours = cameraPicture(color, 11);
    // The whole picture in runs of squares, as the export visits them; the panel's part only
    // is composited.
    for (int y = 0; y < kHeight; y += 2)
        layer.compositeOnto(*ours, {y, 2, 0, kWidth});

    // The long way.
    std::vector<std::uint8_t> bgra(kWidth * kHeight * 4);
    convertYuvToBgra({decoded->data[0], decoded->linesize[0], decoded->data[1],
                      decoded->linesize[1], decoded->data[2], decoded->linesize[2]},
                     ChromaLayout::k420, bgra.data(), kWidth * 4, kWidth, kHeight,
                     rgbCoefficientsFor(color));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* s = &panel[(y * width + x) * 4];
            std::uint8_t* d = &bgra[((top + y) * kWidth + left + x) * 4];
            for (int c = 0; c < 4; ++c) {
                const int t = d[c] * (255 - s[3]) + 0x80;
                d[c] = static_cast<std::uint8_t>(std::min(255, s[c] + ((t + (t >> 8)) >> 8)));
            }
        }
    }
    FramePtr longWay = cameraPicture(color, 11);
    convertBgraToYuv420(bgra.data(), kWidth * 4,
                        {longWay->data[0], longWay->linesize[0], longWay->data[1],
                         longWay->linesize[1], longWay->data[2], longWay->linesize[2]},
                        kWidth, kHeight, yuvCoefficientsFor(color));

    const auto alphaAt = [&](int x, int y) {
        return panel[((y - top) * width + x - left) * 4 + 3];
    };
    const auto inPanel = [&](int x, int y) {
        return x >= left && x < left + width && y >= top && y < top + height;
    };
    int composited = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int got = sample(*ours, 0, x, y);
            if (!inPanel(x, y) || alphaAt(x, y) == 0) {
                ASSERT_EQ(got, sample(*decoded, 0, x, y)) << "luma at " << x << "," << y;
                continue;
            }
            // An opaque pixel is the panel's own colour, converted as the encoder converts.
            const int slack = alphaAt(x, y) == 255 ? 0 : 1;
            ASSERT_LE(std::abs(got - sample(*longWay, 0, x, y)), slack)
                << "luma at " << x << "," << y;
            composited += got != sample(*decoded, 0, x, y);
        }
    }
    EXPECT_GT(composited, width * height / 4) << "the panel was not laid";
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < kHeight / 2; ++y) {
            for (int x = 0; x < kWidth / 2; ++x) {
                const int got = sample(*ours, plane, x, y);
                if (!inPanel(2 * x, 2 * y)) {
                    ASSERT_EQ(got, sample(*decoded, plane, x, y)) << "plane " << plane;
                    continue;
                }
                const int alphas = alphaAt(2 * x, 2 * y) + alphaAt(2 * x + 1, 2 * y) +
                                   alphaAt(2 * x, 2 * y + 1) + alphaAt(2 * x + 1, 2 * y + 1);
                if (alphas == 0)
                    ASSERT_EQ(got, sample(*decoded, plane, x, y)) << "plane " << plane;
                else if (alphas == 4 * 255)
                    ASSERT_EQ(got, sample(*longWay, plane, x, y)) << "plane " << plane;
                else
                    ASSERT_LE(std::abs(got - sample(*longWay, plane, x, y)), 1)
                        << "plane " << plane << " at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, Yuv420LayerComposite,
                         ::testing::Values(LayerCase{AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
                                           LayerCase{AVCOL_SPC_BT709, AVCOL_RANGE_JPEG},
                                           LayerCase{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG}));

// Runs may start or end inside the panel, and the last row of a picture of odd height comes
// alone (it is not encoded): only the run's own squares change.
TEST(Yuv420LayerComposite, ARunChangesOnlyItsOwnSquares) {
    const ColorProperties color{AVCOL_SPC_BT709, AVCOL_RANGE_MPEG};
    std::vector<std::uint8_t> opaque(16 * 8 * 4);
    for (std::size_t i = 0; i < opaque.size(); ++i)
        opaque[i] = i % 4 == 3 ? 255 : 200;
    const Yuv420Layer::Patch patch{8, 4, 16, 8, opaque.data(), 16 * 4};
    const Yuv420Layer layer(std::span(&patch, 1), color);
    const FramePtr decoded = cameraPicture(color, 2);
    FramePtr picture = cameraPicture(color, 2);
    layer.compositeOnto(*picture, {6, 2, 12, 20});  // rows 6-7, columns 12-19
    layer.compositeOnto(*picture, {10, 1, 0, 48});  // a lone row
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool changed = sample(*picture, 0, x, y) != sample(*decoded, 0, x, y);
            const bool inRun = y >= 6 && y < 8 && x >= 12 && x < 20;
            ASSERT_EQ(changed, inRun) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace skelder::media
