#include "samples/frame_code.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "samples/sample_picture.hpp"
#include "samples/seeded_noise.hpp"

namespace skelder::samples {
namespace {

struct OwnedPicture {
    OwnedPicture(int width, int height)
        : luma(static_cast<std::size_t>(width * height)),
          u(static_cast<std::size_t>((width / 2) * (height / 2))),
          v(u.size()),
          picture{{luma.data(), width, width, height},
                  {u.data(), width / 2, width / 2, height / 2},
                  {v.data(), width / 2, width / 2, height / 2}} {}
    std::vector<std::uint8_t> luma, u, v;
    YuvPicture picture;
};

OwnedPicture paintedFrame(int width, int height, std::int64_t frameNumber) {
    OwnedPicture owned(width, height);
    paintSamplePicture({.frameNumber = frameNumber,
                        .elapsedText = elapsedText(frameNumber, 30, 1),
                        .seconds = frameNumber / 30.0,
                        .distanceMetres = frameNumber * 1.3},
                       owned.picture);
    return owned;
}

// BT.709 limited range to BGRA, as a decoder would hand over the picture.
std::vector<std::uint8_t> toBgra(const OwnedPicture& owned) {
    const YuvPicture& p = owned.picture;
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(p.y.width * p.y.height * 4));
    const auto clamp = [](double value) {
        return static_cast<std::uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
    };
    for (int y = 0; y < p.y.height; ++y) {
        for (int x = 0; x < p.y.width; ++x) {
            const double luma = 1.164 * (p.y.data[y * p.y.stride + x] - 16);
            const double cb = p.u.data[(y / 2) * p.u.stride + x / 2] - 128;
            const double cr = p.v.data[(y / 2) * p.v.stride + x / 2] - 128;
            std::uint8_t* out = &bgra[static_cast<std::size_t>((y * p.y.width + x) * 4)];
            out[0] = clamp(luma + 2.112 * cb);
            out[1] = clamp(luma - 0.213 * cb - 0.533 * cr);
            out[2] = clamp(luma + 1.793 * cr);
            out[3] = 255;
        }
    }
    return bgra;
}

std::optional<std::int64_t> readBgra(const std::vector<std::uint8_t>& bgra, int width, int height) {
    return readBurnedFrameNumber(bgra.data(), width, height, width * 4);
}

TEST(FrameCode, ReadsBackEveryBitPattern) {
    for (const std::int64_t frame : std::initializer_list<std::int64_t>{
             0, 1, 2, 1023, 1024, 12345, 699050, 349525, kLargestBurnedFrameNumber}) {
        const OwnedPicture owned = paintedFrame(320, 180, frame);
        EXPECT_EQ(readBgra(toBgra(owned), 320, 180), frame);
        EXPECT_EQ(readBurnedFrameNumberFromLuma(owned.luma.data(), 320, 180, 320), frame);
    }
}

TEST(FrameCode, PicturesWithoutAValidCodeReadAsNothing) {
    const int width = 320;
    const int height = 180;
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width * height * 4), 128);
    EXPECT_EQ(readBgra(grey, width, height), std::nullopt);

    std::vector<std::uint8_t> random(grey.size());
    const SeededNoise noise(9);
    for (std::size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<std::uint8_t>(128 + 127 * noise.uniform(1, i));
    EXPECT_EQ(readBgra(random, width, height), std::nullopt);

    const std::vector<std::uint8_t> good = toBgra(paintedFrame(width, height, 5));
    ASSERT_EQ(readBgra(good, width, height), 5);
    // The good code with cells painted over: {row, column, grey level}.
    const FrameCodeLayout layout = frameCodeLayout(width, height);
    const auto readPainted = [&](std::initializer_list<std::array<int, 3>> cells) {
        std::vector<std::uint8_t> bgra = good;
        const int size = layout.cellSize;
        for (const auto& [row, column, level] : cells)
            for (int y = layout.top + row * size; y < layout.top + (row + 1) * size; ++y)
                std::fill_n(
                    &bgra[static_cast<std::size_t>(y * width + layout.left + column * size) * 4],
                    size * 4, static_cast<std::uint8_t>(level));
        return readBgra(bgra, width, height);
    };
    // One data bit flipped: the row's parity no longer matches.
    EXPECT_EQ(readPainted({{1, 3, 255}}), std::nullopt);
    // A cell that is neither black nor white.
    EXPECT_EQ(readPainted({{0, 5, 128}}), std::nullopt);
    // Markers swapped: an upside-down or inverted code.
    EXPECT_EQ(readPainted({{0, 0, 16}, {1, 0, 235}}), std::nullopt);
    EXPECT_EQ(readBurnedFrameNumber(nullptr, width, height, width * 4), std::nullopt);
    EXPECT_EQ(readBurnedFrameNumber(good.data(), width, height, width * 4 - 1), std::nullopt);
    EXPECT_EQ(readBurnedFrameNumber(good.data(), 0, 0, 0), std::nullopt);
    EXPECT_EQ(readBurnedFrameNumber(good.data(), 40, 30, 160), std::nullopt);  // too small
}

TEST(SamplePicture, ElapsedTimeUsesTheExactFrameRate) {
    EXPECT_EQ(elapsedText(0, 30, 1), "00:00.000");
    EXPECT_EQ(elapsedText(1, 30000, 1001), "00:00.033");
    EXPECT_EQ(elapsedText(1798, 30000, 1001), "00:59.993");
    EXPECT_EQ(elapsedText(1800, 30, 1), "01:00.000");
    EXPECT_EQ(elapsedText(3 * 3600 * 25, 25, 1), "180:00.000");
}

}  // namespace
}  // namespace skelder::samples
