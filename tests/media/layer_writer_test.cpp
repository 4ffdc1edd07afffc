// The HUD layer's QuickTime Animation pictures, coded from the boxes that changed, read back by
// ffmpeg's own decoder: every pixel of every picture as it was drawn, alpha undone.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "media/layer_writer.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::media {
namespace {

// Wider than a skip code reaches (254 pixels), with runs and literal stretches longer than one
// code carries.
constexpr int kWidth = 701;
constexpr int kHeight = 24;

using Argb = std::array<std::uint8_t, 4>;

// A picture as the reader must show it (straight A R G B) and as the HUD draws it
// (premultiplied B G R A). Alphas are 0, 255 or 51 with colours in steps of 5, so that
// premultiplying is exact.
struct Picture {
    std::vector<Argb> pixels = std::vector<Argb>(kWidth * kHeight, Argb{});

    void fill(const LayerEncoder::Box& box, Argb value) {
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                pixels[y * kWidth + x] = value;
    }
    std::vector<std::uint8_t> premultipliedBgra() const {
        std::vector<std::uint8_t> bgra;
        for (const Argb& p : pixels) {
            const int a = p[0];
            for (const int c : {p[3], p[2], p[1]})
                bgra.push_back(static_cast<std::uint8_t>(c * a / 255));
            bgra.push_back(static_cast<std::uint8_t>(a));
        }
        return bgra;
    }
    std::string straight() const {
        std::string bytes(pixels.size() * 4, '\0');
        std::memcpy(bytes.data(), pixels.data(), bytes.size());
        return bytes;
    }
};

TEST(LayerWriter, AnimationPicturesDecodeToWhatWasDrawn) {
    Picture first;
    first.fill({300, 2, 560, 6}, {255, 255, 0, 0});  // one long run, far from the row's start
    for (int x = 0; x < 300; ++x)                    // literal pixels, no two alike
        first.pixels[8 * kWidth + x] = {255, static_cast<std::uint8_t>(x), 40, 200};
    first.fill({650, 10, kWidth, 11}, {51, 100, 50, 255});  // half seen, to the last column
    Picture moved = first;
    moved.fill({300, 2, 560, 6}, {});
    moved.fill({0, 2, 20, 6}, {255, 255, 0, 0});
    moved.fill({690, 10, 691, 11}, {255, 0, 0, 255});  // far along a row: skips of skips
    Picture cleared;  // begins the second stretch: its key picture must clear the rest
    cleared.fill({5, 20, 6, 21}, {255, 0, 255, 0});

    struct Step {
        const Picture& picture;
        std::vector<LayerEncoder::Box> changed;
        bool newStretch = false;
    };
    const std::vector<Step> steps{
        {first, {}},
        // The old box, the new one, and a box drawn again the same.
        {moved, {{300, 2, 560, 6}, {0, 2, 20, 6}, {0, 8, 300, 9}, {690, 10, 691, 11}}},
        {moved, {}},
        {cleared, {{5, 20, 6, 21}}, true},
    };
    testing::TempDir dir;
    const auto file = dir / "layer.mov";
    {
        auto encoder = std::make_unique<LayerEncoder>(kWidth, kHeight, AVRational{1, 10},
                                                      LayerCodec::animation);
        LayerMuxer muxer(file, *encoder);
        std::vector<PacketPtr> packets;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (steps[i].newStretch) {
                encoder->flush(packets);
                encoder = std::make_unique<LayerEncoder>(kWidth, kHeight, AVRational{1, 10},
                                                         LayerCodec::animation);
            }
            const auto bgra = steps[i].picture.premultipliedBgra();
            encoder->encode(bgra.data(), kWidth * 4, steps[i].changed, static_cast<int>(i), 1,
                            packets);
        }
        encoder->flush(packets);
        for (const PacketPtr& packet : packets)
            muxer.write(*packet);
        muxer.finish();
    }

    const auto decoded = testing::runCommand(
        {"ffmpeg", "-v", "error", "-i", file.string(), "-f", "rawvideo", "-pix_fmt", "argb", "-"});
    ASSERT_EQ(decoded.exitStatus, 0) << decoded.standardError;
    const std::size_t pictureBytes = kWidth * kHeight * 4;
    ASSERT_EQ(decoded.standardOutput.size(), steps.size() * pictureBytes);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_TRUE(decoded.standardOutput.substr(i * pictureBytes, pictureBytes) ==
                    steps[i].picture.straight())
            << "picture " << i;
    }
    const auto keys = testing::runCommand({"ffprobe", "-v", "error", "-show_entries",
                                           "packet=flags", "-of", "csv=p=0", file.string()});
    EXPECT_EQ(keys.standardOutput, "K_\n__\n__\nK_\n");
}

}  // namespace
}  // namespace skelder::media
