#include "export/export_service.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "export/export_error.hpp"
#include "export/render_workers.hpp"
#include "media/pixel_conversion.hpp"
#include "media/video_reader.hpp"
#include "tests/export/full_export_job.hpp"
#include "tests/media/test_frames.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/played_back_video.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using media::MediaTime;

// Speed climbs 5 m/s every second so that every second's HUD reads differently.
kovra::RecordingOptions climbingSpeed(double seconds) {
    kovra::RecordingOptions options;
    options.durationSeconds = seconds;
    options.valueAt = [](const kovra::ChannelDefinition& channel, double t) {
        switch (channel.id) {
            case kovra::kSpeedChannel:
                return 10.0 + 5.0 * std::floor(t);
            case kovra::kThrottleChannel:
                return 0.7;
            case kovra::kEngineSpeedChannel:
                return 400.0;
            case kovra::kGearChannel:
                return 3.0;
            case kovra::kLateralAccelChannel:
                return 4.0;
            default:
                return 0.0;
        }
    };
    return options;
}

class ExportServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::makeRecordingWithVideo(
            input, {.width = 160, .height = 96, .fps = 10, .seconds = 3}, climbingSpeed(3));
    }

    testing::TempDir dir;
    testing::TemporaryFolderOverride temporary;
    std::filesystem::path input = dir / "lap.mp4";
    std::filesystem::path output = dir / "lap.full.overlay.mp4";
    ExportService service{ParallelExportConfig{3, 6, 0.0}};
};

TEST_F(ExportServiceTest, KeepsFramesTimesAndAudioAndReportsProgress) {
    std::vector<double> progress;
    service.exportOverlayVideo(testing::fullExportJob(input), output,
                               [&](double p) { progress.push_back(p); }, {});
    ASSERT_TRUE(std::filesystem::exists(output));
    EXPECT_TRUE(temporary.isEmpty());

    const auto streams = testing::ffprobe(output)["streams"];
    ASSERT_EQ(streams.size(), 2u);
    const auto& video = streams[0]["codec_type"] == "video" ? streams[0] : streams[1];
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["profile"], "High");
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(testing::videoFrameTimes(output), testing::videoFrameTimes(input));
    EXPECT_FALSE(testing::audioPacketDigests(input).empty());
    EXPECT_EQ(testing::audioPacketDigests(output), testing::audioPacketDigests(input));

    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0.0);
    EXPECT_EQ(progress.back(), 1.0);
    for (std::size_t i = 1; i + 1 < progress.size(); ++i) {
        EXPECT_LE(progress[i], 0.999);
        EXPECT_GE(progress[i], progress[i - 1]);
    }
}

// Where nothing is drawn over the HUD's static panels, a worker lays them straight onto the
// decoded picture when the frame alone holds it; otherwise (the decoder still refers to the
// picture) it draws them in BGRA with the rest. Both must give the encoder the same picture,
// to the rounding of one step.
TEST_F(ExportServiceTest, PanelsLaidOnTheDecodedPictureMatchPanelsDrawnInBgra) {
    const OverlayExportJob job = testing::fullExportJob(input);
    const int width = 160, height = 96;
    const OverlayRenderSharedState shared(job, width, height);
    OverlayRenderContext context;
    media::FramePool pool(width, height);
    const auto encoded = [&](bool decoderStillHoldsIt, std::size_t& modifiedRegions) {
        media::FramePtr picture = media::decodedPicture(width, height);
        // Colours a camera records (RGB can show them): a gradient in 2 × 2 squares, encoded.
        std::vector<std::uint8_t> bgra(width * height * 4);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = &bgra[(y * width + x) * 4];
                const int sx = x / 2, sy = y / 2;
                p[0] = static_cast<std::uint8_t>(sx * 3), p[1] = static_cast<std::uint8_t>(sy * 5);
                p[2] = static_cast<std::uint8_t>((sx + sy) * 7), p[3] = 255;
            }
        }
        media::convertBgraToYuv420(
            bgra.data(), width * 4,
            {picture->data[0], picture->linesize[0], picture->data[1], picture->linesize[1],
             picture->data[2], picture->linesize[2]},
            width, height, media::yuvCoefficientsFor({AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG}));
        media::VideoFrame frame = pool.makeFrame();
        frame.setSourcePicture(picture.get());
        frame.deferPixels();
        frame.presentationTime = MediaTime::fromSeconds(1.3);
        if (!decoderStillHoldsIt)
            picture.reset();
        renderFrame(shared, context, frame);
        modifiedRegions = frame.modifiedRegions().size();
        media::FramePtr out = media::decodedPicture(width, height);
        media::ToYuv420Converter(width, height, {AVCOL_SPC_SMPTE170M, AVCOL_RANGE_MPEG})
            .convert(frame, *out);
        return out;
    };
    std::size_t straightRegions = 0, inBgraRegions = 0;
    const media::FramePtr straight = encoded(false, straightRegions);
    const media::FramePtr inBgra = encoded(true, inBgraRegions);
    EXPECT_LT(straightRegions, inBgraRegions) << "the panels were not laid on the picture";
    int differing = 0;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : height / 2;
        const int columns = plane == 0 ? width : width / 2;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                const int a = straight->data[plane][y * straight->linesize[plane] + x];
                const int b = inBgra->data[plane][y * inBgra->linesize[plane] + x];
                ASSERT_LE(std::abs(a - b), 1) << "plane " << plane << " at " << x << "," << y;
                differing += a != b;
            }
        }
    }
    EXPECT_LT(differing, width * height / 20);
}

// Mean absolute difference of two BGRA frames over their colour channels.
double difference(const media::VideoFrame& a, const BgraImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width() * 4; ++x) {
            if (x % 4 == 3)
                continue;
            sum += std::abs(a.data()[y * a.stride() + x] - b.data()[y * b.stride() + x]);
        }
    }
    return sum / (a.width() * a.height() * 3.0);
}

TEST_F(ExportServiceTest, EveryFrameCarriesTheHUDOfItsInstantPlusTheOffset) {
    const OverlayExportJob job = testing::fullExportJob(input);
    service.exportOverlayVideo(job, output, {}, {});
    const OverlayRenderSharedState shared(job, 160, 96);

    media::VideoReader exported(media::MediaSource::file(output), 160, 96);
    media::VideoReader original(media::MediaSource::file(input), 160, 96);
    ASSERT_TRUE(exported.startReading());
    ASSERT_TRUE(original.startReading());
    OverlayRenderContext context;
    int frames = 0;
    while (auto frame = exported.copyNextFrame()) {
        auto source = original.copyNextFrame();
        ASSERT_TRUE(source);
        // The reference: the source picture with the HUD of the right instant, and with the
        // HUD of an instant a second away.
        const auto reference = [&](double seconds) {
            auto image = BgraImage::create(160, 96).value();
            for (int y = 0; y < 96; ++y) {
                std::copy_n(source->data() + y * source->stride(), 160 * 4,
                            image.data() + y * image.stride());
            }
            const auto content = overlayFrameAt(shared.timelineView(), seconds);
            EXPECT_TRUE(content.has_value());
            OverlayRenderer::drawOverlay(context, image.frame(), content->sample, std::nullopt,
                                         shared.staticHUD.get());
            return image;
        };
        const double t = frame->presentationTime.seconds();
        // Another instant whose telemetry second (and so its speed readout) differs; past the
        // last sample the HUD holds it.
        const auto telemetrySecond = [](double x) { return std::floor(std::min(x + 0.65, 2.99)); };
        double other = t;
        for (double candidate : {t + 1, t - 1, t - 2, t + 2}) {
            if (candidate >= 0 && candidate < 2.95 &&
                telemetrySecond(candidate) != telemetrySecond(t)) {
                other = candidate;
                break;
            }
        }
        ASSERT_NE(other, t);
        const double right = difference(*frame, reference(t));
        const double wrong = difference(*frame, reference(other));
        EXPECT_LT(right, 2.5) << t;
        EXPECT_LT(right * 2, wrong) << "t=" << t;
        ++frames;
    }
    EXPECT_EQ(frames, 30);
}

TEST_F(ExportServiceTest, InputWithoutVideoFailsAndLeavesNothing) {
    const auto tone = dir / "tone.mp4";
    testing::ffmpeg({"-f", "lavfi", "-i", "sine", "-t", "1", "-c:a", "aac", tone.string()});
    OverlayExportJob job;
    job.asset = media::MediaSource::file(tone);
    job.duration = MediaTime(1, 1);
    try {
        service.exportOverlayVideo(job, output, {}, {});
        ADD_FAILURE();
    } catch (const ExportError& error) {
        EXPECT_EQ(error.errorCase(), ExportError::Case::missingVideoTrack);
        EXPECT_STREQ(error.what(), "Input has no video track");
    }
    EXPECT_TRUE(temporary.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(output));
}

// A cancel at any moment is what the export fault tests check.
TEST_F(ExportServiceTest, FailuresLeaveTheOldOutputUntouched) {
    testing::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
    // Nowhere to move the finished file: the file system's error, nothing left behind.
    EXPECT_THROW(service.exportOverlayVideo(testing::fullExportJob(input),
                                            dir / "missing" / "out.mp4", {}, {}),
                 std::filesystem::filesystem_error);
    EXPECT_TRUE(temporary.isEmpty());

    // A broken input: the reader's failure, and the old output still there.
    const auto broken = dir / "broken.mp4";
    testing::writeFile(broken, std::vector<std::uint8_t>(100, 'x'));
    OverlayExportJob job = testing::fullExportJob(input);
    job.asset = media::MediaSource::file(broken);
    EXPECT_THROW(service.exportOverlayVideo(job, output, {}, {}), std::exception);
    EXPECT_EQ(testing::readTextFile(output), "old");
    EXPECT_TRUE(temporary.isEmpty());

    service.exportOverlayVideo(testing::fullExportJob(input), output, {}, {});
    EXPECT_GT(std::filesystem::file_size(output), 3u);
}

std::size_t decodedPictures(const std::filesystem::path& file) {
    const auto result =
        testing::runCommand({"ffmpeg", "-v", "quiet", "-i", file.string(), "-vf", "scale=8:8", "-f",
                             "rawvideo", "-pix_fmt", "gray", "-"});
    return result.standardOutput.size() / 64;
}

// Every file an export writes keeps its index (the movie box) before its media data, so a
// browser or a phone starts playing it as the first bytes arrive.
TEST_F(ExportServiceTest, ExportsAndLayersPlayFromTheirFirstBytes) {
    const auto drive = dir / "drive.mp4";
    kovra::RecordingOptions telemetry;
    telemetry.durationSeconds = 11;
    testing::makeRecordingWithVideo(
        drive, {.width = 160, .height = 96, .fps = 10, .seconds = 10, .audio = true}, telemetry);
    const auto full = dir / "drive.full.overlay.mp4";
    service.exportOverlayVideo(testing::fullExportJob(drive), full, {}, {});
    const auto layer = dir / "drive.hud.mov";
    service.exportHudLayer(testing::fullExportJob(drive), layer, media::LayerCodec::animation, {},
                           {});
    EXPECT_TRUE(testing::indexPrecedesMediaData(full));
    EXPECT_TRUE(testing::indexPrecedesMediaData(layer));

    // The first fifth of the file, as a browser has it a moment after it started fetching:
    // its first seconds play.
    const auto cut = dir / "cut.mp4";
    {
        std::ifstream in(full, std::ios::binary);
        std::vector<char> bytes(std::filesystem::file_size(full) / 5);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(cut, std::ios::binary).write(bytes.data(), in.gcount());
    }
    EXPECT_EQ(decodedPictures(full), 100u);
    EXPECT_GE(decodedPictures(cut), 10u);
}

}  // namespace
}  // namespace skelder
