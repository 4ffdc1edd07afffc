#include "media/asset.hpp"

#include <gtest/gtest.h>

#include "media/media_error.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::media {
namespace {

TEST(Asset, PropertiesOfAVideoWithAudio) {
    testing::TempDir dir;
    const auto file = dir / "clip.mp4";
    testing::makeTestVideo(file,
                           {.width = 64, .height = 48, .fps = 25, .seconds = 2, .rotation = 90});
    const Asset asset = Asset::open(file);
    ASSERT_TRUE(asset.duration().has_value());
    EXPECT_NEAR(asset.duration()->seconds(), 2.0, 0.05);
    ASSERT_TRUE(asset.videoTrack().has_value());
    const VideoTrackInfo& video = *asset.videoTrack();
    EXPECT_EQ(video.naturalWidth, 64);  // stored size, transform not applied
    EXPECT_EQ(video.naturalHeight, 48);
    EXPECT_EQ(video.preferredTransform.clockwiseDegrees(), 90);
    EXPECT_NEAR(video.nominalFrameRate, 25.0, 1e-9);
    EXPECT_GT(video.estimatedDataRate, 0);
    EXPECT_EQ(video.color.matrix, AVCOL_SPC_BT709);
    EXPECT_EQ(video.codecName, "h264");
    ASSERT_TRUE(asset.audioTrack().has_value());
    EXPECT_TRUE(asset.audioTrack()->hasFormatDescription);
    EXPECT_EQ(asset.audioTrack()->sampleRate, 48000);
    EXPECT_EQ(loadVideoDurationSeconds(file), asset.duration()->seconds());
    EXPECT_EQ(loadPictureOrientation(file), (PictureOrientation{90, false}));
}

TEST(Asset, UnreadableFilesFailWithFFmpegsText) {
    testing::TempDir dir;
    const auto text = dir / "notes.mp4";
    testing::writeFile(text, std::vector<std::uint8_t>(100, 'x'));
    try {
        Asset::open(text);
        ADD_FAILURE() << "a text file is no media asset";
    } catch (const MediaError& error) {
        EXPECT_STREQ(error.what(), "Invalid data found when processing input");
    }
    try {
        Asset::open(dir / "missing.mp4");
        ADD_FAILURE() << "a missing file cannot be opened";
    } catch (const MediaError& error) {
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
    EXPECT_FALSE(loadVideoDurationSeconds(text).has_value());
    EXPECT_EQ(loadPictureOrientation(text), PictureOrientation{});

    // A recording cut in the middle loses its index at the end.
    const auto whole = dir / "whole.mp4";
    testing::makeTestVideo(whole);
    auto bytes = testing::readTextFile(whole);
    bytes.resize(bytes.size() / 2);
    const auto cut = dir / "cut.mp4";
    testing::writeFile(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_THROW(Asset::open(cut), MediaError);
    EXPECT_FALSE(loadVideoDurationSeconds(cut).has_value());
}

}  // namespace
}  // namespace skelder::media
