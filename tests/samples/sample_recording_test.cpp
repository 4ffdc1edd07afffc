#include "samples/sample_recording.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stop_token>

#include "core/cancellation.hpp"
#include "overlay/overlay_renderer.hpp"
#include "samples/engine_sound.hpp"
#include "samples/sample_picture.hpp"
#include "tests/samples/media_probe.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::samples {
namespace {

using skelder::testing::runCommand;
using skelder::testing::TempDir;
using testing::bgraFrameAt;
using testing::probe;

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<std::int64_t> burnedNumber(const std::string& bgra, int width, int height) {
    EXPECT_EQ(bgra.size(), static_cast<std::size_t>(width * height * 4));
    if (bgra.size() != static_cast<std::size_t>(width * height * 4)) {
        return std::nullopt;
    }
    return readBurnedFrameNumber(reinterpret_cast<const std::uint8_t*>(bgra.data()), width, height,
                                 width * 4);
}

// One 32-second sample shared by the cases below: pit lane, the main straight flat out, braking
// and the hairpin.
class SampleRecording : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory = new TempDir;
        options = new SampleOptions{.seconds = 32, .width = 320, .height = 180, .seed = 3};
        options->onProgress = [](double fraction) { progress->push_back(fraction); };
        progress = new std::vector<double>;
        path = directory->path() / "sample.mp4";
        writeSampleRecording(path, *options);
    }
    static void TearDownTestSuite() {
        delete progress;
        delete options;
        delete directory;
    }
    static inline TempDir* directory = nullptr;
    static inline SampleOptions* options = nullptr;
    static inline std::vector<double>* progress = nullptr;
    static inline std::filesystem::path path;
};

TEST_F(SampleRecording, PlaysInFFmpegWithoutErrors) {
    const auto result = runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map", "0:v",
                                    "-map", "0:a", "-f", "null", "-"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
}

TEST_F(SampleRecording, HoldsH264HighVideoAacAudioAndTheTelemetryTrack) {
    const auto info = probe(path, {"-count_frames"});
    ASSERT_EQ(info["streams"].size(), 3u);
    const auto& video = info["streams"][0];
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["profile"], "High");
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(video["color_range"], "tv");
    EXPECT_EQ(video["color_space"], "bt709");
    EXPECT_EQ(video["color_transfer"], "bt709");
    EXPECT_EQ(video["color_primaries"], "bt709");
    EXPECT_EQ(video["width"], 320);
    EXPECT_EQ(video["height"], 180);
    EXPECT_EQ(video["avg_frame_rate"], "30/1");
    EXPECT_EQ(video["nb_read_frames"], "960");
    EXPECT_EQ(video["start_time"], "0.000000");
    EXPECT_FALSE(video.contains("side_data_list"));  // no rotation

    const auto& audio = info["streams"][1];
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "48000");
    EXPECT_EQ(audio["channels"], 1);
    EXPECT_NEAR(std::stod(audio["duration"].get<std::string>()), 32.0, 0.03);

    EXPECT_EQ(info["streams"][2]["codec_tag_string"], "adco");
    EXPECT_NEAR(std::stod(info["format"]["duration"].get<std::string>()), 32.0, 0.03);
}

TEST_F(SampleRecording, KeepsTheMovieBoxAfterTheMedia) {
    const auto boxes = testing::topLevelBoxes(path);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front(), "ftyp");
    EXPECT_EQ(boxes.back(), "moov");
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), "moov"), 1);
    EXPECT_GE(std::count(boxes.begin(), boxes.end(), "mdat"), 1);
}

TEST_F(SampleRecording, HasAKeyframeEveryTwoSecondsAndBFramesBetween) {
    const auto info = probe(path, {"-select_streams", "v:0", "-show_frames", "-show_entries",
                                   "frame=key_frame,pict_type,pts_time"});
    const auto& frames = info["frames"];
    ASSERT_EQ(frames.size(), 960u);
    int bFrames = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]["key_frame"] == 1, i % 60 == 0) << i;
        EXPECT_NEAR(std::stod(frames[i]["pts_time"].get<std::string>()), i / 30.0, 1e-3) << i;
        bFrames += frames[i]["pict_type"] == "B";
    }
    EXPECT_GT(bFrames, 300);
}

TEST_F(SampleRecording, EveryPictureShowsItsOwnFrameNumber) {
    const std::vector<int> indexes{0, 1, 2, 59, 60, 61, 500, 958, 959};
    const auto frames = testing::bgraFramesNumbered(path, indexes, 320, 180);
    ASSERT_EQ(frames.size(), indexes.size());
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        EXPECT_EQ(burnedNumber(frames[i], 320, 180), indexes[i]);
    }
    // Seeking to a presentation time lands on the frame shown from that time on.
    for (const int n : {45, 60, 959}) {
        EXPECT_EQ(burnedNumber(bgraFrameAt(path, n / 30.0 - 0.001), 320, 180), n) << n;
    }
}

TEST_F(SampleRecording, EngineSoundFollowsTheEngineSpeed) {
    const std::vector<float> audio = testing::decodedAudio(path);
    EXPECT_NEAR(static_cast<double>(audio.size()), 32 * 48000.0, 2048);
    const DriveSimulation drive = sampleDrive(*options);
    // Steady stretches: the pit lane limiter in second gear, and the hairpin.
    for (const double seconds : {10.0, 27.5}) {
        const auto first = static_cast<std::size_t>((seconds - 0.25) * 48000);
        const double heard = testing::dominantFrequencyHz(audio, first, 24000, 48000, 60, 400);
        const double expected = EngineSound::firingFrequencyHz(drive.stateAt(seconds).engineRpm);
        EXPECT_NEAR(heard, expected, 0.03 * expected) << seconds;
    }
}

TEST_F(SampleRecording, ReportsProgressUpToCompletion) {
    ASSERT_GT(progress->size(), 900u);
    EXPECT_EQ(progress->front(), 0.0);
    EXPECT_EQ(progress->back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress->begin(), progress->end()));
}

TEST(SampleRecordings, AreTheSameBytesForTheSameSeed) {
    TempDir directory;
    const SampleOptions options{.seconds = 2, .width = 160, .height = 90, .seed = 7};
    writeSampleRecording(directory / "a.mp4", options);
    writeSampleRecording(directory / "b.mp4", options);
    SampleOptions otherSeed = options;
    otherSeed.seed = 8;
    writeSampleRecording(directory / "c.mp4", otherSeed);
    const std::string first = fileBytes(directory / "a.mp4");
    EXPECT_GT(first.size(), 10'000u);
    EXPECT_EQ(first, fileBytes(directory / "b.mp4"));
    EXPECT_NE(first, fileBytes(directory / "c.mp4"));
}

TEST(SampleRecordings, CarryTheRotationAsTheDisplayMatrix) {
    TempDir directory;
    for (const int degrees : {90, 180, 270}) {
        const auto path = directory / ("rotated" + std::to_string(degrees) + ".mp4");
        writeSampleRecording(path, {.seconds = 0.5,
                                    .width = 160,
                                    .height = 90,
                                    .rotationDegrees = degrees,
                                    .audio = false});
        const auto video = probe(path)["streams"][0];
        EXPECT_EQ(video["width"], 160);  // stored pictures keep their size
        EXPECT_EQ(video["height"], 90);
        ASSERT_TRUE(video.contains("side_data_list")) << degrees;
        // ffprobe states the rotation counterclockwise.
        const int counterclockwise = video["side_data_list"][0]["rotation"];
        EXPECT_EQ(((-counterclockwise) % 360 + 360) % 360, degrees);
        // Players turn the picture and show it upright, frame code at the top. Stored as it
        // is, the code sits elsewhere: a sideways picture would not read.
        const auto shown = runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-frames:v",
                                       "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
        ASSERT_EQ(shown.exitStatus, 0);
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(shown.standardOutput.data());
        const int shownWidth = degrees == 180 ? 160 : 90;
        const int shownHeight = degrees == 180 ? 90 : 160;
        ASSERT_EQ(shown.standardOutput.size(), static_cast<std::size_t>(160 * 90));
        EXPECT_EQ(readBurnedFrameNumberFromLuma(pixels, shownWidth, shownHeight, shownWidth), 0)
            << degrees;
        const auto stored =
            runCommand({"ffmpeg", "-v", "error", "-noautorotate", "-i", path.string(), "-frames:v",
                        "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
        EXPECT_EQ(
            readBurnedFrameNumberFromLuma(
                reinterpret_cast<const std::uint8_t*>(stored.standardOutput.data()), 160, 90, 160),
            std::nullopt)
            << degrees;
    }
}

TEST(SampleRecordings, KeepBroadcastFrameRatesExact) {
    TempDir directory;
    const auto path = directory / "ntsc.mp4";
    const SampleOptions options{
        .seconds = 2, .width = 160, .height = 90, .frameRate = {30000, 1001}, .audio = false};
    writeSampleRecording(path, options);
    EXPECT_EQ(sampleFrameCount(options), 60);
    const auto video = probe(path, {"-count_frames"})["streams"][0];
    EXPECT_EQ(video["avg_frame_rate"], "30000/1001");
    EXPECT_EQ(video["nb_read_frames"], "60");
    EXPECT_EQ(burnedNumber(bgraFrameAt(path, 59 * 1001 / 30000.0 - 0.001), 160, 90), 59);
    EXPECT_EQ(probe(path)["streams"].size(), 2u);  // video and telemetry, no audio
}

TEST(SampleRecordings, ReplaceAnExistingFileAndLeaveNoTemporaryFiles) {
    TempDir directory;
    const auto path = directory / "sample.mp4";
    std::ofstream(path) << "old content";
    writeSampleRecording(path, {.seconds = 0.2, .width = 64, .height = 64});
    EXPECT_NE(fileBytes(path), "old content");
    EXPECT_EQ(probe(path)["streams"][0]["codec_name"], "h264");
    const auto entries = std::distance(std::filesystem::directory_iterator(directory.path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST(SampleRecordings, CancellingKeepsTheOldFileAndRemovesTheTemporaryOnes) {
    TempDir directory;
    const auto path = directory / "sample.mp4";
    std::ofstream(path) << "old content";
    std::stop_source stop;
    SampleOptions options{.seconds = 5, .width = 160, .height = 90};
    options.stopToken = stop.get_token();
    int frames = 0;
    options.onProgress = [&](double) {
        if (++frames == 10) {
            stop.request_stop();
        }
    };
    EXPECT_THROW(writeSampleRecording(path, options), CancellationError);
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(fileBytes(path), "old content");
    const auto entries = std::distance(std::filesystem::directory_iterator(directory.path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST(SampleRecordings, FileSystemFailuresNameTheOutput) {
    TempDir directory;
    const auto missing = directory / "no" / "such" / "sample.mp4";
    try {
        writeSampleRecording(missing, {.seconds = 0.2, .width = 64, .height = 64});
        ADD_FAILURE() << "no error";
    } catch (const std::filesystem::filesystem_error& error) {
        EXPECT_EQ(error.path1(), missing);
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
    try {
        writeSampleRecording(directory.path(), {.seconds = 0.2, .width = 64, .height = 64});
        ADD_FAILURE() << "no error";
    } catch (const std::filesystem::filesystem_error& error) {
        EXPECT_EQ(error.path1(), directory.path());
        EXPECT_EQ(error.code(), std::errc::is_a_directory);
    }
}

TEST(SampleOptionsValidation, NamesTheOptionThatCannotBeWritten) {
    const auto messageFor = [](const SampleOptions& options) -> std::string {
        try {
            validateSampleOptions(options);
        } catch (const SampleOptionsError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(messageFor({}), "");
    const std::string duration = "The duration must be a positive number of seconds";
    EXPECT_EQ(messageFor({.seconds = 0}), duration);
    EXPECT_EQ(messageFor({.seconds = -3}), duration);
    EXPECT_EQ(messageFor({.seconds = std::nan("")}), duration);
    EXPECT_EQ(messageFor({.seconds = HUGE_VAL}), duration);
    const std::string size = "The picture size must be even numbers of pixels from 64 to 7680";
    EXPECT_EQ(messageFor({.width = 321}), size);
    EXPECT_EQ(messageFor({.height = 62}), size);
    EXPECT_EQ(messageFor({.width = 7682}), size);
    EXPECT_EQ(messageFor({.width = 64, .height = 7680}), "");
    const std::string rate = "The frame rate must be from 1 to 120 frames per second";
    EXPECT_EQ(messageFor({.frameRate = {0, 1}}), rate);
    EXPECT_EQ(messageFor({.frameRate = {30, 0}}), rate);
    EXPECT_EQ(messageFor({.frameRate = {121, 1}}), rate);
    EXPECT_EQ(messageFor({.frameRate = {1, 2}}), rate);
    EXPECT_EQ(messageFor({.frameRate = {120, 1}}), "");
    EXPECT_EQ(messageFor({.rotationDegrees = 45}),
              "The rotation must be 0, 90, 180 or 270 degrees");
    EXPECT_EQ(messageFor({.rotationDegrees = -90}),
              "The rotation must be 0, 90, 180 or 270 degrees");
    const std::string tooLong = "A sample lasts at most 4 hours and holds at most 1048576 frames";
    EXPECT_EQ(messageFor({.seconds = 1048577 / 96.0, .frameRate = {96, 1}}), tooLong);
    EXPECT_EQ(messageFor({.seconds = 1048576 / 96.0, .frameRate = {96, 1}}), "");
    EXPECT_EQ(messageFor({.seconds = 4 * 3600 + 1, .frameRate = {1, 1}}), tooLong);
    EXPECT_EQ(messageFor({.seconds = 4 * 3600, .frameRate = {1, 1}}), "");
    EXPECT_THROW(writeSampleRecording("unused.mp4", {.width = 3}), SampleOptionsError);
    EXPECT_FALSE(std::filesystem::exists("unused.mp4"));
}

TEST(SampleOptionsValidation, FrameCountRoundsSecondsTimesRate) {
    EXPECT_EQ(sampleFrameCount({.seconds = 60}), 1800);
    EXPECT_EQ(sampleFrameCount({.seconds = 60, .frameRate = {30000, 1001}}), 1798);
    EXPECT_EQ(sampleFrameCount({.seconds = 0.001}), 1);
    EXPECT_EQ(sampleKeyframeInterval({.frameRate = {30000, 1001}}), 60);
    EXPECT_EQ(sampleKeyframeInterval({.frameRate = {1, 1}}), 2);
    EXPECT_DOUBLE_EQ(sampleVideoSeconds({.seconds = 60, .frameRate = {30000, 1001}}),
                     1798 * 1001 / 30000.0);
}

// The plates of the frame code and the clock lie where the HUD never draws, in every
// orientation of a recorder: the HUD is laid out for the picture as it is shown, and the
// sample paints that picture upright before storing it turned. Wide readings give the
// widest texts.
TEST(SamplePictures, ThePlatesStayClearOfTheHudInEveryOrientation) {
    OverlayRenderSample widest;
    widest.telemetry = {.speedMps = 89, .rpm = 8888, .gear = 6, .latG = 2.5, .steeringDeg = -540};
    widest.currentTotalG = 2.5;
    widest.heldPeakG = 2.5;
    OverlayRenderContext context;
    for (const auto& [storedWidth, storedHeight] : {std::pair{640, 360}, std::pair{1920, 1080}}) {
        for (const int rotation : {0, 90, 180, 270}) {
            const bool quarter = rotation % 180 != 0;
            const int width = quarter ? storedHeight : storedWidth;
            const int height = quarter ? storedWidth : storedHeight;
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const auto staticHUD = OverlayRenderer::makeStaticHUD(width, height);
            const BgraFrame shown{nullptr, width, height, width * 4};
            const auto footprint = OverlayRenderer::overlayFootprint(
                context, shown, widest, std::nullopt, staticHUD.get(), SpeedUnit::mph);
            ASSERT_FALSE(footprint.empty());
            const SamplePlates plates = samplePlates(width, height, "59:59.999  #1048575");
            for (const PlateBox& plate : {plates.code, plates.clock}) {
                for (const PixelBox& drawn : footprint) {
                    EXPECT_TRUE(drawn.right <= plate.left || plate.right <= drawn.left ||
                                drawn.bottom <= plate.top || plate.bottom <= drawn.top)
                        << "plate " << plate.left << "," << plate.top << "-" << plate.right << ","
                        << plate.bottom << " under HUD box " << drawn.left << "," << drawn.top
                        << "-" << drawn.right << "," << drawn.bottom;
                }
            }
        }
    }
}

}  // namespace
}  // namespace skelder::samples
