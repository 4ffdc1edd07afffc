#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "media/bgra_to_yuv420.hpp"
#include "media/yuv_to_bgra.hpp"

namespace skelder::media {
namespace {

struct Planes {
    int width;
    int height;
    int chromaWidth;
    int chromaHeight;
    std::vector<std::uint8_t> y, u, v;

    ConstYuvPlanes view() const {
        return {y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth};
    }
};

Planes noisePlanes(int width, int height, ChromaLayout layout, unsigned seed) {
    const int chromaWidth = layout == ChromaLayout::k444 ? width : (width + 1) / 2;
    const int chromaHeight = layout == ChromaLayout::k420 ? (height + 1) / 2 : height;
    Planes p{width, height, chromaWidth, chromaHeight, {}, {}, {}};
    std::minstd_rand random(seed);
    const auto fill = [&](std::vector<std::uint8_t>& plane, std::size_t size) {
        plane.resize(size);
        for (std::uint8_t& sample : plane)
            sample = static_cast<std::uint8_t>(random());
    };
    fill(p.y, static_cast<std::size_t>(width) * height);
    fill(p.u, static_cast<std::size_t>(chromaWidth) * chromaHeight);
    fill(p.v, static_cast<std::size_t>(chromaWidth) * chromaHeight);
    return p;
}

ColorProperties limited709() {
    return {AVCOL_SPC_BT709, AVCOL_RANGE_MPEG};
}

// One pixel of a 2 × 2 picture of one colour.
std::array<int, 3> rgbOf(int y, int u, int v, const ColorProperties& color) {
    const std::uint8_t luma[4] = {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(y),
                                  static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(y)};
    const std::uint8_t cb = static_cast<std::uint8_t>(u), cr = static_cast<std::uint8_t>(v);
    std::uint8_t bgra[16];
    convertYuvToBgra({luma, 2, &cb, 1, &cr, 1}, ChromaLayout::k420, bgra, 8, 2, 2,
                     rgbCoefficientsFor(color));
    return {bgra[2], bgra[1], bgra[0]};
}

// The colour-bar values of the standards (BT.709 and BT.601, limited range): white, black and
// the primaries, which libyuv's capped blue weight left several steps short of full blue.
TEST(DecodedConversion, ColourBarsComeOutAsTheirPrimaries) {
    struct Bar {
        ColorProperties color;
        int y, u, v;
        std::array<int, 3> rgb;
    };
    const ColorProperties bt601{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG};
    const ColorProperties full709{AVCOL_SPC_BT709, AVCOL_RANGE_JPEG};
    const Bar bars[] = {
        {limited709(), 235, 128, 128, {255, 255, 255}},
        {limited709(), 16, 128, 128, {0, 0, 0}},
        {limited709(), 63, 102, 240, {255, 0, 0}},
        {limited709(), 173, 42, 26, {0, 255, 0}},
        {limited709(), 32, 240, 118, {0, 0, 255}},
        {bt601, 81, 90, 240, {255, 0, 0}},
        {bt601, 145, 54, 34, {0, 255, 0}},
        {bt601, 41, 240, 110, {0, 0, 255}},
        {full709, 255, 128, 128, {255, 255, 255}},
        {full709, 18, 255, 116, {0, 0, 255}},
    };
    for (const Bar& bar : bars) {
        const auto rgb = rgbOf(bar.y, bar.u, bar.v, bar.color);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(rgb[c], bar.rgb[c], 2)
                << "YUV " << bar.y << "," << bar.u << "," << bar.v << " channel " << c;
        }
    }
}

struct RoundTripCase {
    AVColorSpace matrix;
    AVColorRange range;
};

class DecodedConversionRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// The export converts the pixels under the HUD to BGRA, draws, and converts them back: where
// nothing was drawn the picture must come back as it was, or the HUD's footprint shows as
// tinted tiles (and costs the encoder bits on every frame). YUV made from RGB noise holds
// only colours RGB can show, as a camera's picture does.
TEST_P(DecodedConversionRoundTrip, APictureComesBackAsItWent) {
    const auto [matrix, range] = GetParam();
    const ColorProperties color{matrix, range};
    const int width = 64, height = 48;
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
    std::minstd_rand random(5);
    for (std::size_t i = 0; i < bgra.size(); ++i)
        bgra[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(random());
    // Every 2 × 2 square of one colour, so chroma is that colour's, not an average.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::copy_n(&bgra[((y & ~1) * width + (x & ~1)) * 4], 4, &bgra[(y * width + x) * 4]);

    const auto encode = [&](const std::vector<std::uint8_t>& pixels, Planes& out) {
        out = Planes{width, height, width / 2, height / 2, {}, {}, {}};
        out.y.resize(static_cast<std::size_t>(width) * height);
        out.u.resize(static_cast<std::size_t>(width / 2) * (height / 2));
        out.v.resize(out.u.size());
        convertBgraToYuv420(pixels.data(), width * 4,
                            {out.y.data(), width, out.u.data(), width / 2, out.v.data(), width / 2},
                            width, height, yuvCoefficientsFor(color));
    };
    Planes first;
    encode(bgra, first);
    std::vector<std::uint8_t> decoded(bgra.size());
    convertYuvToBgra(first.view(), ChromaLayout::k420, decoded.data(), width * 4, width, height,
                     rgbCoefficientsFor(color));
    Planes second;
    encode(decoded, second);

    const auto compare = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                            const char* plane) {
        int exact = 0;
        long sum = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const int difference = int(b[i]) - int(a[i]);
            ASSERT_LE(std::abs(difference), 1) << plane << " sample " << i;
            exact += difference == 0;
            sum += difference;
        }
        EXPECT_GE(exact, static_cast<int>(a.size() * 99 / 100)) << plane;
        EXPECT_LE(std::abs(sum), static_cast<long>(a.size() / 200)) << plane << " drifts";
    };
    compare(first.y, second.y, "Y");
    compare(first.u, second.u, "U");
    compare(first.v, second.v, "V");
}

INSTANTIATE_TEST_SUITE_P(Matrices, DecodedConversionRoundTrip,
                         ::testing::Values(RoundTripCase{AVCOL_SPC_BT709, AVCOL_RANGE_MPEG},
                                           RoundTripCase{AVCOL_SPC_BT709, AVCOL_RANGE_JPEG},
                                           RoundTripCase{AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG},
                                           RoundTripCase{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG},
                                           RoundTripCase{AVCOL_SPC_SMPTE170M, AVCOL_RANGE_JPEG}));

// A block may sit anywhere in a picture and end on any column: not a byte beside it changes,
// and its own pixels are those of the whole picture's conversion.
TEST(DecodedConversion, ABlockWritesItsOwnPixelsAndNothingElse) {
    const int width = 70, height = 9;
    const Planes p = noisePlanes(width, height, ChromaLayout::k420, 3);
    const RgbCoefficients k = rgbCoefficientsFor(limited709());
    std::vector<std::uint8_t> whole(width * height * 4);
    convertYuvToBgra(p.view(), ChromaLayout::k420, whole.data(), width * 4, width, height, k);
    for (const int left : {0, 2, 6}) {
        for (int blockWidth = 1; left + blockWidth <= width; ++blockWidth) {
            const int top = 2, rows = 5;
            std::vector<std::uint8_t> out(whole.size(), 0xA5);
            const ConstYuvPlanes at{&p.y[top * width + left],
                                    width,
                                    &p.u[top / 2 * p.chromaWidth + left / 2],
                                    p.chromaWidth,
                                    &p.v[top / 2 * p.chromaWidth + left / 2],
                                    p.chromaWidth};
            convertYuvToBgra(at, ChromaLayout::k420, &out[(top * width + left) * 4], width * 4,
                             blockWidth, rows, k);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const bool inside =
                        y >= top && y < top + rows && x >= left && x < left + blockWidth;
                    const std::size_t at4 = (static_cast<std::size_t>(y) * width + x) * 4;
                    for (int c = 0; c < 4; ++c) {
                        ASSERT_EQ(out[at4 + c], inside ? whole[at4 + c] : 0xA5)
                            << "block at " << left << " of width " << blockWidth << ", pixel " << x
                            << "," << y;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace skelder::media
