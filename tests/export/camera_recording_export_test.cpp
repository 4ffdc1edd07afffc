// Full exports of recordings as users' cameras make them (ffmpeg's encoders, not our sample
// writer), checked with ffmpeg and ffprobe as independent readers.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <sstream>

#include "kovra_writer/mp4_merge.hpp"
#include "tests/export/camera_export_support.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {

namespace testing {
// Test names and messages show the case by its name.
void PrintTo(const CameraRecordingSpec& spec, std::ostream* out) {
    *out << spec.name;
}
}  // namespace testing

namespace {

using testing::CameraAudio;
using testing::CameraCodec;
using testing::CameraRecordingSpec;

// A second of each (half of 4K) keeps the run short. Turned recorders are the subject of
// rotated_recording_test.cpp.
std::vector<CameraRecordingSpec> cameraRecordings() {
    std::vector<CameraRecordingSpec> specs;
    // The common sizes, H.264 4:2:0 at 30 frames per second with B-frames and stereo AAC.
    for (const auto& [width, height] :
         {std::pair{854, 480}, {1366, 768}, {1920, 1080}, {3840, 2160}}) {
        specs.push_back({.name = fmt::format("h264_{}x{}", width, height),
                         .displayWidth = width,
                         .displayHeight = height,
                         .seconds = width > 1920 ? 0.5 : 1.0});
    }
    specs.push_back({.name = "h264_444_1279x720",
                     .displayWidth = 1279,
                     .displayHeight = 720,
                     .codec = CameraCodec::h264Yuv444});
    specs.push_back({.name = "hevc10_hlg_1280x720",
                     .displayWidth = 1280,
                     .displayHeight = 720,
                     .codec = CameraCodec::hevc10Hlg});
    specs.push_back({.name = "hevc10_pq_640x360", .codec = CameraCodec::hevc10Pq});
    specs.push_back({.name = "h264_1280x720_29_97fps",
                     .displayWidth = 1280,
                     .displayHeight = 720,
                     .frameRate = "30000/1001"});
    specs.push_back({.name = "h264_1280x720_59_94fps_no_bframes",
                     .displayWidth = 1280,
                     .displayHeight = 720,
                     .frameRate = "60000/1001",
                     .bFrames = false});
    specs.push_back({.name = "h264_variable_frame_rate", .variableFrameRate = true});
    specs.push_back({.name = "aac_mono", .audio = CameraAudio::aacMono});
    specs.push_back({.name = "opus", .audio = CameraAudio::opus});
    specs.push_back({.name = "pcm_audio_in_mov", .audio = CameraAudio::pcm});
    specs.push_back({.name = "no_audio", .audio = CameraAudio::none});
    return specs;
}

std::string tag(const nlohmann::json& stream, const char* key) {
    return stream.value(key, std::string("absent"));
}

constexpr const char* kColourTags[] = {"color_space", "color_primaries", "color_transfer",
                                       "color_range"};

bool taggedBt709(const nlohmann::json& stream) {
    return tag(stream, "color_space") == "bt709" && tag(stream, "color_primaries") == "bt709" &&
           tag(stream, "color_transfer") == "bt709" && tag(stream, "color_range") == "tv";
}

// The lines of the export's stderr that speak of the audio (progress may come as \r-lines).
std::string audioNotices(const std::string& standardError) {
    std::string notices;
    std::istringstream lines(std::regex_replace(standardError, std::regex("\r"), "\n"));
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, std::regex("audio", std::regex::icase)))
            notices += line + '\n';
    }
    return notices;
}

class CameraRecordingExport : public ::testing::TestWithParam<CameraRecordingSpec> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testing::makeCameraRecording(input, GetParam()));
        exported = testing::exportFull(input, output);
    }

    // The export either keeps the source's pixels and tags, or converts a wide-gamut source to
    // BT.709 and says so; then its pictures are compared with ffmpeg's own conversion.
    bool convertedToBt709() const {
        return tag(sourceStream, "color_primaries") == "bt2020" && taggedBt709(resultStream);
    }
    std::string sourceConversion() const {
        return convertedToBt709() ? "zscale=p=bt709:t=bt709:m=bt709:r=limited" : "";
    }

    // Every frame outside the HUD's panels, and the strip at its left edge, is the source's
    // within re-encoding loss.
    void expectPictureOutsideTheHudKept() const {
        const auto size = testing::displayedSize(sourceStream);
        const auto outputSize = testing::displayedSize(resultStream);
        // H.264 in 4:2:0 holds only even sizes: an odd picture loses its last column or row.
        ASSERT_EQ(outputSize.width, size.width & ~1) << "displayed width";
        ASSERT_EQ(outputSize.height, size.height & ~1) << "displayed height";
        // One decode of the left quarter, top to bottom, holds both regions compared.
        const testing::PictureRegion leftQuarter{0, 0, size.width / 4, size.height};
        const auto source = testing::playedBackFrames(input, leftQuarter, sourceConversion());
        const auto result = testing::playedBackFrames(output, leftQuarter);
        ASSERT_FALSE(source.frames.empty());
        const auto expectKept = [&](const testing::PictureRegion& region, const char* what) {
            const auto comparison = testing::compareRegions(testing::cropFrames(source, region),
                                                            testing::cropFrames(result, region));
            EXPECT_GE(comparison.worstPsnr, testing::kReencodeLimitDb) << testing::describe(
                comparison,
                fmt::format("{} (columns {}-{}, rows {}-{})", what, region.x,
                            region.x + region.width - 1, region.y, region.y + region.height - 1));
        };
        expectKept(testing::outsideTheHud(size), "left quarter of the top half");
        expectKept(testing::leftEdge(size), "left edge");
    }

    void expectFramesAtTheSourceTimes() const {
        const auto sourceTimes = testing::videoFrameTimes(input);
        const auto outputTimes = testing::videoFrameTimes(output);
        ASSERT_FALSE(sourceTimes.empty());
        EXPECT_EQ(outputTimes.size(), sourceTimes.size()) << "frame count";
        for (std::size_t i = 0; i < std::min(sourceTimes.size(), outputTimes.size()); ++i) {
            if (std::abs(outputTimes[i] - sourceTimes[i]) > 0.0005) {
                ADD_FAILURE() << fmt::format("frame {} shown at {:.6f} s, the source's at {:.6f} s",
                                             i, outputTimes[i], sourceTimes[i]);
                break;
            }
        }
    }

    void expectAudio() const {
        const auto notices = audioNotices(exported.standardError);
        const auto sourceAudio = testing::audioPacketDigests(input);
        const auto outputAudio = testing::audioPacketDigests(output);
        switch (GetParam().audio) {
            case CameraAudio::none:
                EXPECT_TRUE(outputAudio.empty()) << "an audio stream out of nothing";
                EXPECT_EQ(notices, "");
                break;
            case CameraAudio::pcm:
                EXPECT_TRUE(outputAudio.empty()) << "MP4 cannot hold PCM audio";
                EXPECT_EQ(std::count(notices.begin(), notices.end(), '\n'), 1)
                    << "one line on stderr saying the audio was left out and why:\n"
                    << notices;
                break;
            default:
                ASSERT_FALSE(sourceAudio.empty());
                EXPECT_EQ(outputAudio, sourceAudio) << "audio packets copied unchanged";
                EXPECT_EQ(notices, "");
        }
    }

    // The pictures above were compared as ffmpeg shows them by these tags, so tags that pass
    // here and there describe the pixels: the source's own, or BT.709 for a converted
    // wide-gamut source.
    void expectRotationAndColourTags() const {
        EXPECT_EQ(testing::displayRotation(resultStream), testing::displayRotation(sourceStream))
            << "display rotation";
        if (!convertedToBt709()) {
            for (const char* key : kColourTags)
                EXPECT_EQ(tag(resultStream, key), tag(sourceStream, key)) << key;
        }
    }

    testing::TempDir dir;
    std::filesystem::path input = dir / "camera.mp4";
    std::filesystem::path output = dir / "camera.full.overlay.mp4";
    testing::CommandResult exported;
    nlohmann::json sourceStream;  // the first video streams as ffprobe describes them
    nlohmann::json resultStream;
};

TEST_P(CameraRecordingExport, KeepsPictureTimingAudioRotationAndColour) {
    ASSERT_EQ(exported.exitStatus, 0) << exported.standardError;
    sourceStream = testing::firstVideoStream(input);
    resultStream = testing::firstVideoStream(output);
    {
        SCOPED_TRACE("picture");
        expectPictureOutsideTheHudKept();
    }
    {
        SCOPED_TRACE("timing");
        expectFramesAtTheSourceTimes();
    }
    {
        SCOPED_TRACE("audio");
        expectAudio();
    }
    {
        SCOPED_TRACE("rotation and colour tags");
        expectRotationAndColourTags();
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraRecordingExport, ::testing::ValuesIn(cameraRecordings()),
                         [](const auto& info) { return info.param.name; });

// On PQ and HLG pictures the HUD's white is the reference white of SDR graphics in HDR
// (203 cd/m², ITU-R BT.2408): 58 % of the PQ signal, 75 % of HLG's, not the format's peak.
// The first picture is black, so the brightest grey of the export's is the HUD's white.
TEST(HdrCameraRecordingExport, TheHudWhiteIsTheReferenceWhiteOfGraphics) {
    for (const auto& [transfer, referenceWhite] : {std::pair{16, 0.58}, std::pair{18, 0.75}}) {
        SCOPED_TRACE(referenceWhite);
        testing::TempDir dir;
        testing::makeTestVideo(dir / "sdr.mp4",
                               {.width = 320, .height = 180, .fps = 10, .seconds = 1});
        // BT.2020 with the PQ (16) or HLG (18) transfer, written into the stream itself.
        testing::ffmpeg({"-i", (dir / "sdr.mp4").string(), "-c", "copy", "-bsf:v",
                         fmt::format("h264_metadata=colour_primaries=9:transfer_characteristics="
                                     "{}:matrix_coefficients=9",
                                     transfer),
                         (dir / "hdr.mp4").string()});
        kovra::RecordingOptions telemetry;
        telemetry.durationSeconds = 2;
        kovra::appendTelemetryTrack(dir / "hdr.mp4", dir / "recording.mp4", telemetry);
        const auto exported = testing::exportFull(dir / "recording.mp4", dir / "hud.mp4");
        ASSERT_EQ(exported.exitStatus, 0) << exported.standardError;
        const auto frames = testing::playedBackFrames(dir / "hud.mp4", {0, 0, 320, 180});
        ASSERT_FALSE(frames.frames.empty());
        int brightestGrey = 0;
        const auto& first = frames.frames.front();
        for (std::size_t i = 0; i + 2 < first.size(); i += 3)
            brightestGrey =
                std::max(brightestGrey, int{std::min({first[i], first[i + 1], first[i + 2]})});
        EXPECT_NEAR(brightestGrey, referenceWhite * 255, 6);
    }
}

}  // namespace
}  // namespace skelder
