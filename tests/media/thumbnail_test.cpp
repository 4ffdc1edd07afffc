#include <gtest/gtest.h>

#include "media/image_generator.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::media {
namespace {

struct DecodedJPEG {
    int width = 0;
    int height = 0;
    double averageGrey = 0;
};

// Decodes JPEG data with ffmpeg, independently of our encoder.
DecodedJPEG decodeJPEG(const testing::TempDir& dir, const std::vector<std::uint8_t>& jpeg) {
    const auto file = dir / "thumb.jpg";
    testing::writeFile(file, jpeg);
    const auto info = testing::ffprobe(file)["streams"][0];
    EXPECT_EQ(info["codec_name"], "mjpeg");
    DecodedJPEG decoded{info["width"].get<int>(), info["height"].get<int>(), 0};
    const auto grey = testing::runCommand(
        {"ffmpeg", "-v", "error", "-i", file.string(), "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    double sum = 0;
    for (unsigned char c : grey.standardOutput)
        sum += c;
    decoded.averageGrey = sum / std::max<std::size_t>(grey.standardOutput.size(), 1);
    return decoded;
}

TEST(Thumbnail, FrameAtTheTimeFittedAndUpright) {
    testing::TempDir dir;
    const auto file = dir / "clip.mp4";
    testing::makeTestVideo(file,
                           {.width = 640, .height = 480, .fps = 10, .seconds = 2, .rotation = 90});
    const auto jpeg = thumbnailJPEG(file, 1.25);
    ASSERT_TRUE(jpeg.has_value());
    const DecodedJPEG decoded = decodeJPEG(dir, *jpeg);
    // 640 × 480 turned upright is 480 × 640; fitted into 320 × 180: 135 × 180.
    EXPECT_EQ(decoded.width, 135);
    EXPECT_EQ(decoded.height, 180);
    // The first frame at or after 1.25 s is frame 13.
    EXPECT_EQ(testing::frameNumberOfGrey(decoded.averageGrey), 13);
}

TEST(Thumbnail, NegativeAndLateTimesFallBackToTheFirstFrame) {
    testing::TempDir dir;
    const auto file = dir / "clip.mp4";
    testing::makeTestVideo(file, {.fps = 10, .seconds = 1, .audio = false});
    for (double seconds : {-3.0, 99.0, std::numeric_limits<double>::infinity()}) {
        const auto jpeg = thumbnailJPEG(file, seconds);
        ASSERT_TRUE(jpeg.has_value()) << seconds;
        const DecodedJPEG decoded = decodeJPEG(dir, *jpeg);
        EXPECT_EQ(decoded.width, 64);  // never enlarged
        EXPECT_EQ(testing::frameNumberOfGrey(decoded.averageGrey), 0) << seconds;
    }
    EXPECT_FALSE(thumbnailJPEG(dir / "missing.mp4", 0).has_value());
}

}  // namespace
}  // namespace skelder::media
