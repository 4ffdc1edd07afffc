// The HUD as a layer for video editors: a video of the HUD alone over transparent pixels,
// frame for frame and time for time with the recording, in a codec editors read with its alpha.
// Read back with ffmpeg, which also lays it over the recording the way an editor does.

#include <gtest/gtest.h>

#include <regex>
#include <stop_token>

#include "core/cancellation.hpp"
#include "export/export_service.hpp"
#include "tests/export/camera_export_support.hpp"
#include "tests/export/full_export_job.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::CameraRecordingSpec;

// Every picture's presentation time as ffprobe prints it.
std::vector<std::string> pictureTimes(const std::filesystem::path& file) {
    const auto probed =
        testing::ffprobe(file, {"-select_streams", "v", "-show_entries", "frame=pts_time"});
    std::vector<std::string> times;
    for (const auto& frame : probed["frames"])
        times.push_back(frame["pts_time"].get<std::string>());
    return times;
}

// The PSNR of the recording with the layer laid over it (ffmpeg's overlay filter) against the
// full export's pictures.
double overlaidPsnr(const std::filesystem::path& recording, const std::filesystem::path& layer,
                    const std::filesystem::path& full) {
    const auto result = testing::runCommand(
        {"ffmpeg", "-v", "info", "-nostats", "-i", recording.string(), "-i", layer.string(), "-i",
         full.string(), "-filter_complex", "[0:v][1:v]overlay[o];[o][2:v]psnr", "-f", "null", "-"});
    std::smatch match;
    if (!std::regex_search(result.standardError, match, std::regex("average:([0-9.]+|inf)"))) {
        ADD_FAILURE() << result.standardError;
        return 0;
    }
    return match[1] == "inf" ? 1000 : std::stod(match[1]);
}

class HudLayer : public ::testing::TestWithParam<CameraRecordingSpec> {};

TEST_P(HudLayer, IsTheHudAloneFrameForFrameWithTheRecording) {
    testing::TempDir dir;
    const auto recording = dir / "drive.mp4";
    ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(recording, GetParam()));
    const auto layer = dir / "drive.hud.mov";
    const auto run = testing::runCommand({testing::skelderExecutable(), "export", "--mode",
                                          "overlay", "-o", layer.string(), recording.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;

    const auto stream = testing::ffprobe(layer)["streams"].at(0);
    EXPECT_EQ(stream["codec_name"], "qtrle");
    EXPECT_EQ(stream["pix_fmt"], "argb");
    EXPECT_EQ(stream["width"], GetParam().displayWidth);  // upright, as the recording plays
    EXPECT_EQ(stream["height"], GetParam().displayHeight);
    EXPECT_FALSE(stream.contains("side_data_list")) << stream.dump();
    EXPECT_EQ(testing::ffprobe(layer)["streams"].size(), 1u);  // no sound
    const std::vector<std::string> sourceTimes = pictureTimes(recording);
    EXPECT_GT(sourceTimes.size(), 10u);
    EXPECT_EQ(pictureTimes(layer), sourceTimes);

    // Transparent where the HUD is not, opaque in its panels: the alpha of the first picture.
    const auto alpha =
        testing::runCommand({"ffmpeg", "-v", "error", "-i", layer.string(), "-frames:v", "1", "-vf",
                             "alphaextract", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    ASSERT_EQ(alpha.standardOutput.size(),
              static_cast<std::size_t>(GetParam().displayWidth * GetParam().displayHeight));
    int least = 255;
    int most = 0;
    for (const char value : alpha.standardOutput) {
        least = std::min(least, static_cast<int>(static_cast<unsigned char>(value)));
        most = std::max(most, static_cast<int>(static_cast<unsigned char>(value)));
    }
    EXPECT_EQ(least, 0);
    EXPECT_EQ(most, 255);

    const auto full = dir / "drive.full.mp4";
    ASSERT_EQ(testing::exportFull(recording, full).exitStatus, 0);
    EXPECT_GE(overlaidPsnr(recording, layer, full), 35);
}

INSTANTIATE_TEST_SUITE_P(Cameras, HudLayer,
                         ::testing::Values(CameraRecordingSpec{.name = "layer_bframes",
                                                               .displayWidth = 320,
                                                               .displayHeight = 180},
                                           CameraRecordingSpec{.name = "layer_vfr",
                                                               .displayWidth = 320,
                                                               .displayHeight = 180,
                                                               .frameRate = "30000/1001",
                                                               .variableFrameRate = true},
                                           CameraRecordingSpec{.name = "layer_turned",
                                                               .displayWidth = 180,
                                                               .displayHeight = 320,
                                                               .audio = testing::CameraAudio::none,
                                                               .rotation = 90,
                                                               .seconds = 6}),
                         [](const auto& info) { return info.param.name; });

// A cancel while the workers draw and encode stretches of pictures: no file, no temporary
// file, the old output untouched, and the call returns.
TEST(HudLayerCancel, LeavesTheOldOutputAndNoTemporaryFile) {
    testing::TempDir dir;
    const auto recording = dir / "drive.mp4";
    ASSERT_NO_FATAL_FAILURE(
        testing::makeCameraRecording(recording, {.name = "layer_cancel",
                                                 .displayWidth = 320,
                                                 .displayHeight = 180,
                                                 .audio = testing::CameraAudio::none,
                                                 .seconds = 12}));
    const auto output = dir / "drive.hud.mov";
    testing::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
    for (const double at : {0.0, 0.3, 0.9}) {
        std::stop_source stop;
        ExportService service;
        EXPECT_THROW(service.exportHudLayer(
                         testing::fullExportJob(recording), output, media::LayerCodec::animation,
                         [&](double fraction) {
                             if (fraction >= at)
                                 stop.request_stop();
                         },
                         stop.get_token()),
                     CancellationError)
            << "cancelled at " << at;
        EXPECT_EQ(testing::readTextFile(output), "old");
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files += entry.path().extension() != ".mp4";
    EXPECT_EQ(files, 1u);  // the old output alone
}

}  // namespace
}  // namespace skelder
