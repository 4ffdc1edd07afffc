#include "media/video_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "media/audio_reader.hpp"
#include "tests/media/test_frames.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

extern "C" {
#include <libavutil/frame.h>
}

namespace skelder::media {
namespace {

struct Decoded {
    std::vector<int> frameNumbers;
    std::vector<double> seconds;
};

Decoded readAll(MediaSource source, int width = 64, int height = 48, int heldBack = 0) {
    VideoReader reader(std::move(source), width, height);
    reader.holdBackDecodedPictures(heldBack);
    EXPECT_TRUE(reader.startReading()) << reader.errorDescription();
    Decoded decoded;
    while (auto frame = reader.copyNextFrame()) {
        EXPECT_EQ(frame->width(), width);
        decoded.frameNumbers.push_back(testing::frameNumberOfGrey(averageGrey(*frame)));
        decoded.seconds.push_back(frame->presentationTime.seconds());
    }
    EXPECT_EQ(reader.status(), ReaderStatus::completed) << reader.errorDescription();
    return decoded;
}

class VideoReading : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::makeTestVideo(first, {.fps = 10, .seconds = 3});
        testing::makeTestVideo(second, {.fps = 10, .seconds = 2, .audio = false});
    }
    testing::TempDir dir;
    std::filesystem::path first = dir / "first.mp4";
    std::filesystem::path second = dir / "second.mp4";
};

TEST_F(VideoReading, EveryFrameInOrderWithItsTime) {
    for (const int heldBack : {0, 6}) {
        const Decoded decoded = readAll(MediaSource::file(first), 64, 48, heldBack);
        ASSERT_EQ(decoded.frameNumbers.size(), 30u);
        for (int i = 0; i < 30; ++i) {
            EXPECT_EQ(decoded.frameNumbers[i], i) << heldBack;
            EXPECT_NEAR(decoded.seconds[i], i / 10.0, 1e-9) << heldBack;
        }
    }
}

// The export draws into a decoded picture in place once the decoder no longer refers to it.
// Were the reader to hand on a picture the decoder still predicts from, later frames would come
// out spoilt. Here each picture repeats the one five frames before, and the encoder may refer
// that far back, so a picture is still needed well after it is shown.
TEST_F(VideoReading, PicturesTheDecoderLetGoOfMayBeDrawnOn) {
    const auto repeating = dir / "repeating.mp4";
    testing::ffmpeg(
        words("-f lavfi -i nullsrc=s=64x48:r=10,geq=lum='16+mod(N,5)*40+mod(X+2*Y+N,7)'"
              ":cb=128:cr=128,format=yuv420p -t 6 -c:v libx264 -preset medium -bf 0 "
              "-refs 8 -g 600 -colorspace bt709 -color_range tv",
              repeating.string()));
    const auto greys = [&](int heldBack, bool drawOnEveryPicture, int* drawnOn) {
        VideoReader reader(MediaSource::file(repeating), 64, 48);
        reader.holdBackDecodedPictures(heldBack);
        EXPECT_TRUE(reader.startReading());
        std::vector<double> result;
        while (auto frame = reader.copyNextFrame()) {
            result.push_back(averageGrey(*frame));
            auto* picture = const_cast<AVFrame*>(frame->sourcePicture());
            if (picture == nullptr || !(drawOnEveryPicture || av_frame_is_writable(picture)))
                continue;
            ++*drawnOn;
            for (int plane = 0; plane < 3; ++plane) {
                const int rows = plane == 0 ? picture->height : (picture->height + 1) / 2;
                std::fill_n(picture->data[plane], picture->linesize[plane] * rows, 255);
            }
        }
        EXPECT_EQ(reader.status(), ReaderStatus::completed);
        return result;
    };
    int untouched = 0;
    const std::vector<double> clean = greys(0, false, &untouched);
    ASSERT_EQ(clean.size(), 60u);

    int drawnOn = 0;
    EXPECT_EQ(greys(6, false, &drawnOn), clean);
    EXPECT_GE(drawnOn, 30);
    // The test's own check: drawing on pictures the decoder still refers to does show.
    int spoiling = 0;
    EXPECT_NE(greys(0, true, &spoiling), clean);
}

TEST_F(VideoReading, CompositionReadsRangesBackToBack) {
    Composition composition;
    // 1.2 s to 2.0 s of the first file (frames 12 to 19), then 0.5 s to 1.0 s of the second.
    composition.appendTimeRange(first, {MediaTime(720, 600), MediaTime(480, 600)});
    composition.appendTimeRange(second, {MediaTime(300, 600), MediaTime(300, 600)});
    composition.setPreferredTransform(AffineTransform::rotation(180, 64, 48));
    EXPECT_EQ(composition.duration(), MediaTime(780, 600));

    for (const int heldBack : {0, 6}) {
        const Decoded decoded = readAll(MediaSource::composition(composition), 64, 48, heldBack);
        const std::vector<int> expected{12, 13, 14, 15, 16, 17, 18, 19, 5, 6, 7, 8, 9};
        EXPECT_EQ(decoded.frameNumbers, expected) << heldBack;
        ASSERT_EQ(decoded.seconds.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR(decoded.seconds[i], i / 10.0, 1e-9) << i;
    }

    const SourceProperties properties = describe(MediaSource::composition(composition));
    EXPECT_EQ(properties.video->preferredTransform.clockwiseDegrees(), 180);
    EXPECT_TRUE(properties.hasAudio);
    EXPECT_EQ(*properties.duration, MediaTime(780, 600));
}

TEST_F(VideoReading, FramesOfAnotherSizeAreScaledToTheOutput) {
    const Decoded decoded = readAll(MediaSource::file(second), 32, 24);
    EXPECT_EQ(decoded.frameNumbers.size(), 20u);
    EXPECT_EQ(decoded.frameNumbers[7], 7);
}

// A reel takes its orientation from its first piece: a piece recorded upright after a
// sideways one is turned to match and fitted between black bars, so it plays upright and
// undistorted.
TEST_F(VideoReading, PiecesTurnedOtherwiseThanTheReelAreTurnedAndFitted) {
    const auto sideways = dir / "sideways.mp4";
    testing::makeTestVideo(sideways, {.fps = 10, .seconds = 1, .audio = false, .rotation = 90});
    Composition composition;
    composition.appendTimeRange(sideways, {MediaTime::zero(), MediaTime(300, 600)});
    composition.appendTimeRange(second, {MediaTime::zero(), MediaTime(300, 600)});
    composition.setPreferredTransform(AffineTransform::rotation(90, 64, 48));

    VideoReader reader(MediaSource::composition(composition), 64, 48);
    ASSERT_TRUE(reader.startReading());
    std::vector<VideoFrame> frames;
    while (auto frame = reader.copyNextFrame())
        frames.push_back(std::move(*frame));
    ASSERT_EQ(frames.size(), 10u);
    const auto green = [](const VideoFrame& frame, int x, int y) {
        return frame.data()[y * frame.stride() + x * 4 + 1];
    };
    // The sideways piece fills the frame as it was stored.
    EXPECT_GT(green(frames[2], 2, 24), 10);
    EXPECT_GT(green(frames[2], 61, 24), 10);
    // The upright piece, 64 x 48 turned to 48 x 64, fits 36 x 48 between bars of 14 columns.
    const VideoFrame& upright = frames[7];
    for (const int x : {0, 13, 50, 63})
        EXPECT_EQ(green(upright, x, 24), 0) << x;
    for (const int x : {15, 32, 48})
        EXPECT_GT(green(upright, x, 24), 10) << x;
    EXPECT_EQ(upright.data()[24 * upright.stride() + 3], 255) << "bars are opaque";
    EXPECT_EQ(upright.sourcePicture(), nullptr) << "a turned picture is not the decoded one";
}

TEST_F(VideoReading, ColoursFollowTheStreamsMatrix) {
    // Pure BT.709 red, limited range: Y 63, Cb 102, Cr 240.
    const auto red = dir / "red.mp4";
    testing::ffmpeg({"-f", "lavfi", "-i", "nullsrc=s=64x48:r=5,geq=lum=63:cb=102:cr=240", "-t", "1",
                     "-c:v", "libx264", "-preset", "ultrafast", "-qp", "0", "-pix_fmt", "yuv420p",
                     "-colorspace", "bt709", "-color_range", "tv", red.string()});
    VideoReader reader(MediaSource::file(red), 64, 48);
    ASSERT_TRUE(reader.startReading());
    const auto frame = reader.copyNextFrame();
    ASSERT_TRUE(frame);
    const std::uint8_t* pixel = frame->data() + 20 * frame->stride() + 30 * 4;
    EXPECT_NEAR(pixel[2], 255, 4);  // R
    EXPECT_NEAR(pixel[1], 0, 4);    // G
    EXPECT_NEAR(pixel[0], 0, 4);    // B
    EXPECT_EQ(pixel[3], 255);       // opaque
}

TEST_F(VideoReading, CancelStopsAtTheNextFrame) {
    VideoReader reader(MediaSource::file(first), 64, 48);
    ASSERT_TRUE(reader.startReading());
    ASSERT_TRUE(reader.copyNextFrame());
    std::thread([&] { reader.cancelReading(); }).join();
    EXPECT_EQ(reader.status(), ReaderStatus::cancelled);
    EXPECT_FALSE(reader.copyNextFrame());
    EXPECT_EQ(reader.status(), ReaderStatus::cancelled);
}

TEST_F(VideoReading, FailuresCarryFFmpegsText) {
    VideoReader missing(MediaSource::file(dir / "missing.mp4"), 64, 48);
    EXPECT_FALSE(missing.startReading());
    EXPECT_EQ(missing.status(), ReaderStatus::failed);
    EXPECT_EQ(missing.errorDescription(), "No such file or directory");

    const auto audioOnly = dir / "tone.mp4";
    testing::ffmpeg({"-f", "lavfi", "-i", "sine", "-t", "1", "-c:a", "aac", audioOnly.string()});
    VideoReader noVideo(MediaSource::file(audioOnly), 64, 48);
    EXPECT_FALSE(noVideo.startReading());
    EXPECT_EQ(noVideo.errorDescription(), "Stream not found");

    // A piece that vanished midway fails the read where it is reached.
    Composition composition;
    composition.appendTimeRange(first, {MediaTime::zero(), MediaTime(60, 600)});
    composition.appendTimeRange(dir / "gone.mp4", {MediaTime::zero(), MediaTime(60, 600)});
    VideoReader reader(MediaSource::composition(composition), 64, 48);
    ASSERT_TRUE(reader.startReading());
    int frames = 0;
    while (reader.copyNextFrame())
        ++frames;
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(reader.status(), ReaderStatus::failed);
    EXPECT_EQ(reader.errorDescription(), "No such file or directory");
}

TEST_F(VideoReading, AudioOfACompositionIsRetimedAndGapsAreSilent) {
    Composition composition;
    composition.appendTimeRange(second, {MediaTime::zero(), MediaTime(600, 600)});  // no audio
    composition.appendTimeRange(first, {MediaTime(600, 600), MediaTime(600, 600)});
    AudioReader reader(MediaSource::composition(composition));
    ASSERT_TRUE(reader.startReading());
    EXPECT_EQ(reader.format().parameters->codec_id, AV_CODEC_ID_AAC);
    std::vector<double> starts;
    std::vector<double> ends;
    std::set<std::string> silentPayloads;
    while (auto packet = reader.copyNextPacket()) {
        const double base = av_q2d(packet->timeBase);
        starts.push_back(packet->packet->pts * base);
        ends.push_back((packet->packet->pts + packet->packet->duration) * base);
        if (starts.back() < 0.98) {
            silentPayloads.insert(std::string(reinterpret_cast<const char*>(packet->packet->data),
                                              packet->packet->size));
        }
    }
    EXPECT_EQ(reader.status(), ReaderStatus::completed);
    ASSERT_GT(starts.size(), 80u);
    // The first second (a piece without audio) is silence: one repeated packet from time 0,
    // back to back, so the audio of the second piece still starts at 1 s.
    EXPECT_EQ(starts.front(), 0.0);
    EXPECT_EQ(silentPayloads.size(), 1u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GT(starts[i], starts[i - 1]);
        EXPECT_LT(starts[i] - ends[i - 1], 0.03) << "a gap at " << ends[i - 1];
    }
    const auto secondPiece =
        std::find_if(starts.begin(), starts.end(), [](double t) { return t >= 0.98; });
    ASSERT_NE(secondPiece, starts.end());
    EXPECT_NEAR(*secondPiece, 1.0, 0.03);
    EXPECT_LT(starts.back(), 2.0);
}

}  // namespace
}  // namespace skelder::media
