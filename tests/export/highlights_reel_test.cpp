#include "export/highlights_reel.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"
#include "export/export_service.hpp"
#include "media/video_reader.hpp"
#include "samples/sample_recording.hpp"
#include "telemetry/extraction_service.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

PlannedSegment segment(std::int64_t start, std::int64_t end) {
    return {start, end, end - start + 1, 1, 1, 1};
}

std::shared_ptr<const DecisecondGrid> gridOf(std::int64_t first) {
    return std::make_shared<const DecisecondGrid>(first, std::vector<OverlayTelemetrySample>(3));
}

TEST(HighlightsReelJob, PiecesTimelineSourcesAndOrientation) {
    testing::TempDir dir;
    const auto a = dir / "a.mp4", b = dir / "b.mp4", c = dir / "c.mp4";
    testing::makeTestVideo(a, {.fps = 5, .seconds = 10, .audio = false, .rotation = 90});
    testing::makeTestVideo(b, {.fps = 5, .seconds = 2, .audio = false});
    testing::makeTestVideo(c, {.fps = 5, .seconds = 4, .audio = false});
    const std::vector<HighlightsReelInput> inputs{
        {a, {segment(2, 4), segment(8, 12), segment(15, 16)}, gridOf(10)},
        {b, {}, gridOf(20), -0.25},
        {c, {segment(0, 1)}, gridOf(30)},
    };
    const OverlayExportJob job = makeHighlightsReelJob(inputs, {0.4, true}, {});
    // [2, 5) and [8, 10) of a (cut at its end; 15..16 lies past it), nothing of b, [0, 2) of c.
    const std::vector<HighlightTimelineSegment> expected{{0, 3, 2, 0}, {3, 5, 8, 0}, {5, 7, 0, 2}};
    EXPECT_EQ(job.timelineSegments, expected);
    EXPECT_EQ(job.duration, media::MediaTime(7 * 600, 600));
    EXPECT_EQ(job.sampleSourceLabels, (std::vector<std::string>{"a.mp4", "b.mp4", "c.mp4"}));
    ASSERT_EQ(job.sampleSources.size(), 3u);
    EXPECT_EQ(job.sampleSources[2].firstKey(), 30);
    EXPECT_EQ(job.overlayOptions.timeOffsetSeconds, 0.4);
    // b's own telemetry advance; the others take the reel's.
    EXPECT_EQ(job.sampleSourceOffsetSeconds, (std::vector<double>{0.4, -0.25, 0.4}));
    ASSERT_EQ(job.asset.pieces.size(), 3u);
    EXPECT_EQ(job.asset.pieces[1].range->start, media::MediaTime(8 * 600, 600));
    EXPECT_EQ(job.asset.pieces[1].range->duration, media::MediaTime(2 * 600, 600));
    EXPECT_EQ(job.asset.transformOverride->clockwiseDegrees(), 90);

    // The first input decides the orientation even when later ones differ.
    const OverlayExportJob turned = makeHighlightsReelJob({inputs[1], inputs[0]}, {}, {});
    EXPECT_EQ(turned.asset.transformOverride->clockwiseDegrees(), 0);
}

TEST(HighlightsReelJob, NothingLeftOfTheSegmentsOrAStopFails) {
    testing::TempDir dir;
    const auto a = dir / "a.mp4";
    testing::makeTestVideo(a, {.fps = 5, .seconds = 2, .audio = false});
    // The only segment lies past the end of the recording.
    EXPECT_THAT(
        [&] {
            makeHighlightsReelJob({{a, {segment(5, 6)}, gridOf(0)}}, {}, {});
        },
        ::testing::ThrowsMessage<ExportError>(
            ::testing::StrEq("No highlight segments were selected")));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(makeHighlightsReelJob({{a, {segment(0, 0)}, gridOf(0)}}, {}, stop.get_token()),
                 CancellationError);
}

class ReelExport : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::copySampleRecording(first, {.seconds = 6, .width = 640, .height = 360});
        testing::copySampleRecording(
            second, {.seconds = 6, .width = 640, .height = 360, .audio = false, .seed = 2});
    }

    std::vector<HighlightsReelInput> inputs() const {
        const BasicTelemetryExtractionService extractor;
        const auto grid = [&](const std::filesystem::path& file) {
            return std::make_shared<const DecisecondGrid>(
                extractor.extractTelemetry(file, false, false).overlaySamplesByDecisecond);
        };
        return {{first, {segment(1, 2), segment(5, 5)}, grid(first)},
                {second, {segment(3, 4)}, grid(second)}};
    }

    testing::TempDir dir;
    testing::TemporaryFolderOverride temporary;
    std::filesystem::path first = dir / "first.mp4";
    std::filesystem::path second = dir / "second.mp4";
    std::filesystem::path reel = dir / "reel.mp4";
    ExportService service{ParallelExportConfig{3, 6, 0.1}};
};

TEST_F(ReelExport, PiecesShowTheirSourceFramesWithSoundInStepAndTheDebugPanelOnlyWhenAsked) {
    service.exportHighlightsReel(inputs(), {0.65, false}, reel, {}, {});
    // Pieces: first [1, 3) and [5, 6), second [3, 5): five seconds at 30 frames per second.
    media::VideoReader reader(media::MediaSource::file(reel), 640, 360);
    ASSERT_TRUE(reader.startReading());
    std::vector<std::int64_t> frames;
    while (auto frame = reader.copyNextFrame()) {
        frames.push_back(
            samples::readBurnedFrameNumber(frame->data(), 640, 360, frame->stride()).value_or(-1));
    }
    ASSERT_EQ(frames.size(), 150u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto k = static_cast<std::int64_t>(i);
        const std::int64_t expected = k < 60 ? 30 + k : k < 90 ? 150 + (k - 60) : 90 + (k - 90);
        EXPECT_EQ(frames[i], expected) << "reel frame " << i;
    }
    // The second file has no sound: its piece is silence, and the audio still ends with the video.
    const auto streams = testing::ffprobe(reel)["streams"];
    ASSERT_EQ(streams.size(), 2u);
    for (const auto& stream : streams) {
        EXPECT_NEAR(std::stod(stream["duration"].get<std::string>()), 5.0, 0.05)
            << stream["codec_type"];
    }
    const auto decode =
        testing::runCommand({"ffmpeg", "-v", "error", "-i", reel.string(), "-f", "null", "-"});
    EXPECT_EQ(decode.exitStatus, 0);
    EXPECT_EQ(decode.standardError, "");
    EXPECT_TRUE(temporary.isEmpty());

    const auto debug = dir / "debug.mp4";
    service.exportHighlightsReel(inputs(), {0.65, true}, debug, {}, {});
    media::VideoReader off(media::MediaSource::file(reel), 640, 360);
    media::VideoReader on(media::MediaSource::file(debug), 640, 360);
    ASSERT_TRUE(off.startReading() && on.startReading());
    const auto a = off.copyNextFrame(), b = on.copyNextFrame();
    // The debug panel sits at the top left; everything else is drawn the same.
    const auto differenceIn = [&](int left, int top, int right, int bottom) {
        double sum = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left * 4; x < right * 4; ++x)
                sum += std::abs(a->data()[y * a->stride() + x] - b->data()[y * b->stride() + x]);
        }
        return sum / ((right - left) * (bottom - top) * 4.0);
    };
    EXPECT_GT(differenceIn(0, 0, 180, 30), 10.0);
    EXPECT_LT(differenceIn(0, 150, 640, 250), 2.0);

    // Cancelled while encoding, the reel leaves nothing.
    std::stop_source stop;
    const auto cancelled = dir / "cancelled.mp4";
    EXPECT_THROW(service.exportHighlightsReel(
                     inputs(), {}, cancelled,
                     [&](double p) {
                         if (p > 0.3)
                             stop.request_stop();
                     },
                     stop.get_token()),
                 CancellationError);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
    EXPECT_TRUE(temporary.isEmpty());
}

}  // namespace
}  // namespace skelder
