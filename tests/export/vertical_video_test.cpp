// Vertical (9:16) videos for phones: a landscape recording cropped to the full height, the HUD
// laid out for the vertical frame; read back with ffmpeg beside ffmpeg's own crop.

#include <gtest/gtest.h>

#include "export/vertical_frame.hpp"
#include "overlay/overlay_renderer.hpp"
#include "tests/export/camera_export_support.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::CameraRecordingSpec;

// Half a minute each, long enough for highlights.
const CameraRecordingSpec kLandscape{.name = "vertical_landscape",
                                     .displayWidth = 320,
                                     .displayHeight = 180,
                                     .frameRate = "10",
                                     .audio = testing::CameraAudio::none,
                                     .seconds = 30};
const CameraRecordingSpec kPortrait{.name = "vertical_portrait",
                                    .displayWidth = 180,
                                    .displayHeight = 320,
                                    .frameRate = "10",
                                    .audio = testing::CameraAudio::none,
                                    .rotation = 90,
                                    .seconds = 30};

testing::CommandResult exportVertical(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {testing::skelderExecutable(), "export", "--aspect", "9:16"});
    return testing::runCommand(arguments);
}

// The middle crop of a landscape recording, as ffmpeg makes it, at the vertical frame's size:
// at 512x288, 162 pixels wide from column 174 (ffmpeg keeps a 4:2:0 crop on even columns). A
// crop a column or two off shows on the test pattern's sharp edges.
std::filesystem::path ffmpegCrop(const std::filesystem::path& input,
                                 const std::filesystem::path& output) {
    testing::ffmpeg({"-i", input.string(), "-vf", "crop=ih*9/16:ih,scale=288:512", "-c:v",
                     "libx264", "-qp", "0", output.string()});
    return output;
}

TEST(VerticalVideo, ALandscapeRecordingIsCroppedAndTheHudLaidOutForTheVerticalFrame) {
    testing::TempDir dir;
    const auto recording = dir / "drive.mp4";
    CameraRecordingSpec wide = kLandscape;
    wide.name = "vertical_wide";
    wide.displayWidth = 512;
    wide.displayHeight = 288;
    wide.seconds = 8;
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(recording, wide));
    const auto vertical = dir / "vertical.mp4";
    const auto run =
        exportVertical({"--mode", "full", "-o", vertical.string(), recording.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    constexpr int kWidth = 288, kHeight = 512;
    const auto stream = testing::firstVideoStream(vertical);
    EXPECT_EQ(stream["width"], kWidth);
    EXPECT_EQ(stream["height"], kHeight);
    EXPECT_EQ(testing::displayRotation(stream), 0);

    // Pixel by pixel against ffmpeg's middle crop: the HUD may change a pixel only inside the
    // footprint the renderer has for the vertical frame; outside it the picture is the crop.
    const auto reference = ffmpegCrop(recording, dir / "crop.mp4");
    const testing::PictureRegion whole{0, 0, kWidth, kHeight};
    const auto ours = testing::playedBackFrames(vertical, whole);
    const auto theirs = testing::playedBackFrames(reference, whole);
    ASSERT_EQ(ours.frames.size(), theirs.frames.size());
    OverlayRenderContext context;
    const OverlayTelemetrySample readings{
        .speedMps = 88, .rpm = 8888, .gear = 6, .steeringDeg = -188};
    const auto staticHUD = OverlayRenderer::makeStaticHUD(kWidth, kHeight);
    const auto footprint = OverlayRenderer::overlayFootprint(
        context, BgraFrame{nullptr, kWidth, kHeight, kWidth * 4, 0},
        {readings, {{1.8, 1.8}}, 2.5, 2.5}, std::nullopt, staticHUD.get());
    std::vector<bool> inHud(kWidth * kHeight, false);
    for (const PixelBox& box : footprint) {
        for (int y = std::max(box.top, 0); y < std::min(box.bottom, kHeight); ++y) {
            for (int x = std::max(box.left, 0); x < std::min(box.right, kWidth); ++x)
                inHud[static_cast<std::size_t>(y * kWidth + x)] = true;
        }
    }
    std::vector<std::uint8_t> oursOutside;
    std::vector<std::uint8_t> theirsOutside;
    std::size_t changedInside = 0;
    std::size_t compared = 0;
    for (std::size_t f = 0; f < ours.frames.size(); f += 25, ++compared) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const auto pixel = static_cast<std::size_t>(y * kWidth + x);
                for (std::size_t at = pixel * 3; at < pixel * 3 + 3; ++at) {
                    if (inHud[pixel]) {
                        changedInside += std::abs(ours.frames[f][at] - theirs.frames[f][at]) > 40;
                    } else {
                        oursOutside.push_back(ours.frames[f][at]);
                        theirsOutside.push_back(theirs.frames[f][at]);
                    }
                }
            }
        }
    }
    EXPECT_GE(testing::psnr(oursOutside, theirsOutside), 30);
    EXPECT_GT(changedInside, compared * 500);  // the HUD is there
}

TEST(VerticalVideo, AReelOfALandscapeAndAPortraitRecordingIsVerticalThroughout) {
    testing::TempDir dir;
    const auto landscape = dir / "landscape.mp4";
    const auto portrait = dir / "portrait.mp4";
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(landscape, kLandscape));
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(portrait, kPortrait));
    const auto reel = dir / "reel.mp4";
    const auto run = exportVertical(
        {"--mode", "highlights", "-o", reel.string(), landscape.string(), portrait.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.standardError << run.standardOutput;
    const auto stream = testing::firstVideoStream(reel);
    EXPECT_EQ(stream["width"], 180);
    EXPECT_EQ(stream["height"], 320);
    EXPECT_EQ(testing::displayRotation(stream), 0);
    EXPECT_TRUE(testing::indexPrecedesMediaData(reel));  // a reel too
}

// Following the bends, the crop leans toward the inside of a bend, gets there smoothly, and
// comes back to the middle on the straight after it.
TEST(VerticalVideo, TheCropLeansIntoTheBendsSmoothly) {
    std::vector<OverlayTelemetrySample> samples(600);  // a minute
    for (std::size_t d = 200; d < 300; ++d)
        samples[d].latG = 1.0;  // a right-hand bend from 20 s to 30 s
    OverlayExportJob job;
    job.duration = media::MediaTime::fromSeconds(60);
    job.timelineSegments = {{0, 60, 0, 0}};
    job.sampleSources = {DecisecondGrid(0, samples)};
    job.sampleSourceLabels = {"bend"};
    const double spare = 0.6;
    const auto centre = cropCentreTrack(job, true, spare);
    EXPECT_NEAR(centre(media::MediaTime::fromSeconds(10)), 0.5, 1e-6);
    EXPECT_GT(centre(media::MediaTime::fromSeconds(25)), 0.5 + 0.3 * spare / 2);
    EXPECT_LE(centre(media::MediaTime::fromSeconds(25)), 0.5 + spare / 2);
    EXPECT_GT(centre(media::MediaTime::fromSeconds(19.5)), 0.5);  // turning in with the bend
    EXPECT_NEAR(centre(media::MediaTime::fromSeconds(45)), 0.5, 0.01);
    double previous = centre(media::MediaTime::zero());
    for (double t = 1.0 / 30; t < 60; t += 1.0 / 30) {
        const double now = centre(media::MediaTime::fromSeconds(t));
        EXPECT_LE(std::abs(now - previous), spare / 30 / 2) << "at " << t << " s";
        previous = now;
    }
    const auto middle = cropCentreTrack(job, false, spare);
    EXPECT_EQ(middle(media::MediaTime::fromSeconds(25)), 0.5);
}

}  // namespace
}  // namespace skelder
