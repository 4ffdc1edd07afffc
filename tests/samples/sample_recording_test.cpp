// Sample recordings read back by ffmpeg and ffprobe, as players and editors read them.
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
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::samples {
namespace {

using skelder::testing::ffprobe;
using skelder::testing::readTextFile;
using skelder::testing::runCommand;
using skelder::testing::TempDir;
using testing::bgraFrameAt;

std::optional<std::int64_t> burnedNumber(const std::string& bgra, int width, int height) {
    if (bgra.size() != static_cast<std::size_t>(width * height * 4)) {
        ADD_FAILURE() << "a frame of " << bgra.size() << " bytes";
        return std::nullopt;
    }
    return readBurnedFrameNumber(reinterpret_cast<const std::uint8_t*>(bgra.data()), width, height,
                                 width * 4);
}

std::size_t filesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

// Twelve seconds: the pit box, then the pit lane with the engine on the limiter.
TEST(SampleRecording, PlaysAsH264HighAndAacWithEveryPictureNumberedAndTheEngineHeard) {
    TempDir directory;
    const auto path = directory / "sample.mp4";
    std::vector<double> progress;
    SampleOptions options{.seconds = 12, .width = 320, .height = 180, .seed = 3};
    options.onProgress = [&](double fraction) { progress.push_back(fraction); };
    writeSampleRecording(path, options);
    ASSERT_GT(progress.size(), 300u);
    EXPECT_EQ(progress.front(), 0.0);
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    const auto played = runCommand({"ffmpeg", "-v", "error", "-i", path.string(), "-map", "0:v",
                                    "-map", "0:a", "-f", "null", "-"});
    EXPECT_EQ(played.exitStatus, 0);
    EXPECT_EQ(played.standardError, "");

    const auto info = ffprobe(path, {"-count_frames"});
    ASSERT_EQ(info["streams"].size(), 3u);
    const auto& video = info["streams"][0];
    for (const auto& [key, value] : {std::pair{"codec_name", "h264"},
                                     {"profile", "High"},
                                     {"pix_fmt", "yuv420p"},
                                     {"color_range", "tv"},
                                     {"color_space", "bt709"},
                                     {"color_transfer", "bt709"},
                                     {"color_primaries", "bt709"},
                                     {"avg_frame_rate", "30/1"},
                                     {"nb_read_frames", "360"},
                                     {"start_time", "0.000000"}}) {
        EXPECT_EQ(video[key], value) << key;
    }
    EXPECT_EQ(video["width"], 320);
    EXPECT_EQ(video["height"], 180);
    EXPECT_FALSE(video.contains("side_data_list"));  // no rotation
    const auto& audio = info["streams"][1];
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "48000");
    EXPECT_EQ(audio["channels"], 1);
    EXPECT_NEAR(std::stod(audio["duration"].get<std::string>()), 12.0, 0.03);
    EXPECT_EQ(info["streams"][2]["codec_tag_string"], "adco");
    EXPECT_NEAR(std::stod(info["format"]["duration"].get<std::string>()), 12.0, 0.03);

    // A keyframe every two seconds, B-frames between.
    const auto frames = ffprobe(path, {"-select_streams", "v:0", "-show_frames", "-show_entries",
                                       "frame=key_frame,pict_type,pts_time"})["frames"];
    ASSERT_EQ(frames.size(), 360u);
    int bFrames = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]["key_frame"] == 1, i % 60 == 0) << i;
        EXPECT_NEAR(std::stod(frames[i]["pts_time"].get<std::string>()), i / 30.0, 1e-3) << i;
        bFrames += frames[i]["pict_type"] == "B";
    }
    EXPECT_GT(bFrames, 110);

    const std::vector<int> indexes{0, 1, 59, 60, 61, 200, 358, 359};
    const auto pictures = testing::bgraFramesNumbered(path, indexes, 320, 180);
    ASSERT_EQ(pictures.size(), indexes.size());
    for (std::size_t i = 0; i < indexes.size(); ++i)
        EXPECT_EQ(burnedNumber(pictures[i], 320, 180), indexes[i]);
    // Seeking to a presentation time lands on the frame shown from that time on.
    for (const int n : {45, 60, 359})
        EXPECT_EQ(burnedNumber(bgraFrameAt(path, n / 30.0 - 0.001), 320, 180), n) << n;

    const std::vector<float> sound = testing::decodedAudio(path);
    EXPECT_NEAR(static_cast<double>(sound.size()), 12 * 48000.0, 2048);
    const double heard = testing::dominantFrequencyHz(sound, 9.75 * 48000, 24000, 48000, 60, 400);
    const double expected =
        EngineSound::firingFrequencyHz(sampleDrive(options).stateAt(10).engineRpm);
    EXPECT_NEAR(heard, expected, 0.03 * expected);
}

TEST(SampleRecordings, AreTheSameBytesForTheSameSeed) {
    TempDir directory;
    const SampleOptions options{.seconds = 2, .width = 160, .height = 90, .seed = 7};
    writeSampleRecording(directory / "a.mp4", options);
    writeSampleRecording(directory / "b.mp4", options);
    SampleOptions otherSeed = options;
    otherSeed.seed = 8;
    writeSampleRecording(directory / "c.mp4", otherSeed);
    const std::string first = readTextFile(directory / "a.mp4");
    EXPECT_GT(first.size(), 10'000u);
    EXPECT_EQ(first, readTextFile(directory / "b.mp4"));
    EXPECT_NE(first, readTextFile(directory / "c.mp4"));
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
        const auto video = ffprobe(path)["streams"][0];
        EXPECT_EQ(video["width"], 160);  // stored pictures keep their size
        ASSERT_TRUE(video.contains("side_data_list")) << degrees;
        // ffprobe states the rotation counterclockwise.
        const int counterclockwise = video["side_data_list"][0]["rotation"];
        EXPECT_EQ(((-counterclockwise) % 360 + 360) % 360, degrees);
        // Players turn the picture and show it upright, frame code at the top; stored as it
        // is, a sideways picture would not read.
        for (const bool turned : {true, false}) {
            std::vector<std::string> command{"ffmpeg",      "-v",        "error", "-i",
                                             path.string(), "-frames:v", "1",     "-f",
                                             "rawvideo",    "-pix_fmt",  "gray",  "-"};
            if (!turned)
                command.insert(command.begin() + 3, "-noautorotate");
            const auto shown = runCommand(command);
            ASSERT_EQ(shown.standardOutput.size(), 160u * 90u) << shown.standardError;
            const int width = !turned || degrees == 180 ? 160 : 90;
            const auto* pixels = reinterpret_cast<const std::uint8_t*>(shown.standardOutput.data());
            EXPECT_EQ(readBurnedFrameNumberFromLuma(pixels, width, 160 * 90 / width, width),
                      turned ? std::optional<std::int64_t>(0) : std::nullopt)
                << degrees << (turned ? " turned" : " stored");
        }
    }
}

TEST(SampleRecordings, KeepBroadcastFrameRatesExact) {
    TempDir directory;
    const auto path = directory / "ntsc.mp4";
    const SampleOptions options{
        .seconds = 2, .width = 160, .height = 90, .frameRate = {30000, 1001}, .audio = false};
    writeSampleRecording(path, options);
    EXPECT_EQ(sampleFrameCount(options), 60);
    const auto info = ffprobe(path, {"-count_frames"});
    EXPECT_EQ(info["streams"].size(), 2u);  // video and telemetry, no audio
    EXPECT_EQ(info["streams"][0]["avg_frame_rate"], "30000/1001");
    EXPECT_EQ(info["streams"][0]["nb_read_frames"], "60");
    EXPECT_EQ(burnedNumber(bgraFrameAt(path, 59 * 1001 / 30000.0 - 0.001), 160, 90), 59);
}

TEST(SampleRecordings, ReplaceAnOldFileOnlyWhenCompleteAndLeaveNoTemporaryFiles) {
    TempDir directory;
    const auto path = directory / "sample.mp4";
    std::ofstream(path) << "old content";
    std::stop_source stop;
    SampleOptions options{.seconds = 5, .width = 160, .height = 90};
    options.stopToken = stop.get_token();
    int frames = 0;
    options.onProgress = [&](double) {
        if (++frames == 10)
            stop.request_stop();
    };
    EXPECT_THROW(writeSampleRecording(path, options), CancellationError);
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(readTextFile(path), "old content");
    EXPECT_EQ(filesIn(directory.path()), 1u);

    writeSampleRecording(path, {.seconds = 0.2, .width = 64, .height = 64});
    EXPECT_EQ(ffprobe(path)["streams"][0]["codec_name"], "h264");
    EXPECT_EQ(filesIn(directory.path()), 1u);
}

TEST(SampleOptionsValidation, NamesTheOptionThatCannotBeWritten) {
    const std::string duration = "The duration must be a positive number of seconds";
    const std::string size = "The picture size must be even numbers of pixels from 64 to 7680";
    const std::string rate = "The frame rate must be from 1 to 120 frames per second";
    const std::string rotation = "The rotation must be 0, 90, 180 or 270 degrees";
    const std::string tooLong = "A sample lasts at most 4 hours and holds at most 1048576 frames";
    const std::pair<SampleOptions, std::string> cases[] = {
        {{}, ""},
        {{.seconds = 0}, duration},
        {{.seconds = std::nan("")}, duration},
        {{.seconds = HUGE_VAL}, duration},
        {{.width = 321}, size},
        {{.height = 62}, size},
        {{.width = 7682}, size},
        {{.width = 64, .height = 7680}, ""},
        {{.frameRate = {0, 1}}, rate},
        {{.frameRate = {30, 0}}, rate},
        {{.frameRate = {121, 1}}, rate},
        {{.frameRate = {1, 2}}, rate},
        {{.frameRate = {120, 1}}, ""},
        {{.rotationDegrees = 45}, rotation},
        {{.rotationDegrees = -90}, rotation},
        {{.rotationDegrees = 270}, ""},
        {{.seconds = 1048577 / 96.0, .frameRate = {96, 1}}, tooLong},
        {{.seconds = 1048576 / 96.0, .frameRate = {96, 1}}, ""},
        {{.seconds = 4 * 3600 + 1, .frameRate = {1, 1}}, tooLong},
        {{.seconds = 4 * 3600, .frameRate = {1, 1}}, ""},
    };
    for (const auto& [options, message] : cases) {
        std::string thrown;
        try {
            validateSampleOptions(options);
        } catch (const SampleOptionsError& error) {
            thrown = error.what();
        }
        EXPECT_EQ(thrown, message) << options.seconds << " s, " << options.width << "x"
                                   << options.height << ", " << options.rotationDegrees << " deg";
    }
    EXPECT_THROW(writeSampleRecording("unused.mp4", {.width = 3}), SampleOptionsError);
    EXPECT_FALSE(std::filesystem::exists("unused.mp4"));
}

// The plates of the frame code and the clock lie where the HUD never draws, in every
// orientation of a recorder: the HUD is laid out for the picture as it is shown, and the
// sample paints that picture upright before storing it turned. Wide readings give the
// widest texts.
TEST(SamplePictures, ThePlatesStayClearOfTheHudInEveryOrientation) {
    const OverlayRenderSample widest{
        {.speedMps = 89, .rpm = 8888, .gear = 6, .latG = 2.5, .steeringDeg = -540}, {}, 2.5, 2.5};
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
