#include "media/media_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <thread>

#include "media/asset.hpp"
#include "media/audio_reader.hpp"
#include "media/video_reader.hpp"
#include "tests/media/test_frames.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/played_back_video.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::media {
namespace {

using testing::ffprobe;

// Copies a file through reader and writer without drawing anything.
void copyThrough(const std::filesystem::path& source, const std::filesystem::path& output,
                 std::int64_t bitRate, AffineTransform transform, bool withAudio = true) {
    const Asset asset = Asset::open(source);
    const VideoTrackInfo& video = *asset.videoTrack();
    VideoReader videoReader(MediaSource::file(source), video.naturalWidth, video.naturalHeight);
    AudioReader audioReader(MediaSource::file(source));
    MediaWriter writer(output);
    ASSERT_TRUE(writer.addVideoInput({video.naturalWidth, video.naturalHeight, bitRate, transform,
                                      video.color, video.nominalFrameRate, "veryfast"}));
    const bool audio = withAudio && asset.audioTrack() && audioReader.startReading();
    if (audio) {
        ASSERT_TRUE(writer.addAudioInput(audioReader.format()));
    }
    ASSERT_TRUE(writer.startWriting()) << writer.errorDescription();
    ASSERT_TRUE(videoReader.startReading());
    // Video first, then audio: the writer's audio input holds back only while video is open.
    while (auto frame = videoReader.copyNextFrame()) {
        while (!writer.isVideoReadyForMoreData())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const MediaTime time = frame->presentationTime;
        ASSERT_TRUE(writer.appendVideoFrame(std::move(*frame), time));
    }
    writer.markVideoFinished();
    if (audio) {
        while (auto packet = audioReader.copyNextPacket()) {
            ASSERT_TRUE(writer.isAudioReadyForMoreData());
            ASSERT_TRUE(writer.appendAudioPacket(std::move(*packet)));
        }
        writer.markAudioFinished();
    }
    writer.finishWriting();
    ASSERT_EQ(writer.status(), WriterStatus::completed) << writer.errorDescription();
}

double psnr(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto result = testing::runCommand({"ffmpeg", "-nostdin", "-i", a.string(), "-i",
                                             b.string(), "-lavfi", "psnr", "-f", "null", "-"});
    std::smatch match;
    const std::regex average("average:([0-9.]+|inf)");
    if (!std::regex_search(result.standardError, match, average)) {
        ADD_FAILURE() << result.standardError;
        return 0;
    }
    return match[1] == "inf" ? 1000.0 : std::stod(match[1]);
}

class Writing : public ::testing::Test {
  protected:
    testing::TempDir dir;
};

TEST_F(Writing, RoundTripKeepsPictureColoursTimesAndAudio) {
    const auto source = dir / "source.mp4";
    // Moving gradients: natural colours inside the RGB gamut, so a trip through BGRA loses
    // only rounding.
    testing::ffmpeg(
        words("-f lavfi -i gradients=s=320x240:r=30 -f lavfi -i "
              "sine=frequency=330:sample_rate=44100 -t 2 -c:v libx264 -preset "
              "ultrafast -qp 10 -pix_fmt yuv420p -colorspace bt709 -color_primaries "
              "bt709 -color_trc bt709 -color_range tv -c:a aac",
              source.string()));
    const auto output = dir / "output.mp4";
    copyThrough(source, output, 20'000'000, AffineTransform::identity());

    EXPECT_GE(psnr(output, source), 40.0);
    const auto in = ffprobe(source)["streams"];
    const auto out = ffprobe(output)["streams"];
    ASSERT_EQ(out.size(), 2u);
    const auto& video = out[0]["codec_type"] == "video" ? out[0] : out[1];
    const auto& sourceVideo = in[0]["codec_type"] == "video" ? in[0] : in[1];
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["profile"], "High");
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(video["nb_frames"], "60");
    for (const char* tag : {"color_space", "color_range", "color_primaries", "color_transfer"})
        EXPECT_EQ(video[tag], sourceVideo[tag]) << tag;
    EXPECT_EQ(testing::audioPacketDigests(output), testing::audioPacketDigests(source));
}

// A camera's frame types (here an I-frame every 5 frames and no B-frames) reach the writer on
// the decoded pictures; x264 must choose its own instead of taking them as orders.
TEST_F(Writing, TheEncoderChoosesItsOwnFrameTypes) {
    const auto source = dir / "camera.mp4";
    testing::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=30", "-t", "4", "-c:v", "libx264",
                     "-preset", "ultrafast", "-g", "5", "-bf", "0", source.string()});
    const auto output = dir / "output.mp4";
    copyThrough(source, output, 2'000'000, AffineTransform::identity(), false);
    const auto typesOf = [](const std::filesystem::path& file) {
        std::map<std::string, int> count;
        const auto probed = ffprobe(
            file, {"-select_streams", "v", "-show_frames", "-show_entries", "frame=pict_type"});
        for (const auto& frame : probed["frames"])
            ++count[frame["pict_type"].get<std::string>()];
        return count;
    };
    const auto camera = typesOf(source);
    ASSERT_EQ(camera.at("I"), 24);
    ASSERT_EQ(camera.count("B"), 0u);
    const auto exported = typesOf(output);
    EXPECT_LE(exported.at("I"), 2);
    EXPECT_GT(exported.count("B") ? exported.at("B") : 0, 0);
}

TEST_F(Writing, CancelStopsEverything) {
    const auto source = dir / "source.mp4";
    testing::makeTestVideo(source, {.fps = 10, .seconds = 2});
    MediaWriter writer(dir / "cancelled.mp4");
    ASSERT_TRUE(writer.addVideoInput({64, 48, 10'000'000, {}, {}, 10, "veryfast"}));
    ASSERT_TRUE(writer.startWriting());
    VideoReader reader(MediaSource::file(source), 64, 48);
    ASSERT_TRUE(reader.startReading());
    auto frame = reader.copyNextFrame();
    ASSERT_TRUE(writer.appendVideoFrame(std::move(*frame), MediaTime::zero()));
    writer.cancelWriting();
    EXPECT_EQ(writer.status(), WriterStatus::cancelled);
    EXPECT_FALSE(writer.isVideoReadyForMoreData());
    EXPECT_FALSE(writer.appendVideoFrame(*reader.copyNextFrame(), MediaTime(1, 10)));
    writer.finishWriting();
    EXPECT_EQ(writer.status(), WriterStatus::cancelled);
}

TEST_F(Writing, OnlyMarkedRegionsGoBackThroughTheConversion) {
    const auto source = dir / "grey.mp4";
    testing::makeTestVideo(source, {.fps = 10, .seconds = 1, .audio = false});
    VideoReader reader(MediaSource::file(source), 64, 48);
    ASSERT_TRUE(reader.startReading());
    MediaWriter writer(dir / "marked.mp4");
    ASSERT_TRUE(writer.addVideoInput(
        {64, 48, 10'000'000, {}, {AVCOL_SPC_BT709, AVCOL_RANGE_MPEG}, 10, "veryfast"}));
    ASSERT_TRUE(writer.startWriting());
    const auto paint = [](VideoFrame& frame, int left, int top) {
        for (int y = top; y < top + 16; ++y) {
            std::fill_n(frame.data() + y * frame.stride() + left * 4, 16 * 4, std::uint8_t{255});
        }
    };
    while (auto frame = reader.copyNextFrame()) {
        ASSERT_NE(frame->sourcePicture(), nullptr);
        paint(*frame, 4, 16);  // marked: encoded
        frame->markModified({4, 16, 20, 32});
        paint(*frame, 40, 16);  // not marked: the decoded picture stays
        while (!writer.isVideoReadyForMoreData())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const MediaTime time = frame->presentationTime;
        ASSERT_TRUE(writer.appendVideoFrame(std::move(*frame), time));
    }
    writer.markVideoFinished();
    writer.finishWriting();
    ASSERT_EQ(writer.status(), WriterStatus::completed) << writer.errorDescription();

    VideoReader check(MediaSource::file(dir / "marked.mp4"), 64, 48);
    ASSERT_TRUE(check.startReading());
    auto first = check.copyNextFrame();
    ASSERT_TRUE(first);
    const auto green = [&](int x, int y) { return first->data()[y * first->stride() + x * 4 + 1]; };
    EXPECT_GT(green(12, 24), 240);  // the marked square
    EXPECT_LT(green(48, 24), 20);   // frame 0 is black where the unmarked square was painted
}

TEST_F(Writing, StartFailureCarriesFFmpegsText) {
    MediaWriter writer(dir / "no-such-folder" / "out.mp4");
    ASSERT_TRUE(writer.addVideoInput({64, 48, 10'000'000, {}, {}, 10, "veryfast"}));
    EXPECT_FALSE(writer.startWriting());
    EXPECT_EQ(writer.status(), WriterStatus::failed);
    EXPECT_EQ(writer.errorDescription(), "No such file or directory");
}

}  // namespace
}  // namespace skelder::media
