#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>

#include "media/asset.hpp"
#include "media/video_reader.hpp"
#include "samples/sample_recording.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

class ExportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(temporary);
        testing::copySampleRecording(input, {.seconds = 2, .width = 640, .height = 360});
    }
    // The export's temporary files go here, so the test can see that none is left behind.
    std::vector<std::string> exportCommand(std::vector<std::string> arguments,
                                           const std::filesystem::path& folder = {}) const {
        std::vector<std::string> command{"env",
                                         "TMPDIR=" + (folder.empty() ? temporary : folder).string(),
                                         skelderExecutable(), "export"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return command;
    }

    testing::TempDir dir;
    std::filesystem::path temporary = dir / "tmp";
    std::filesystem::path input = dir / "lap.mp4";
};

TEST_F(ExportCommand, WritesNextToTheInputWithFramesInOrder) {
    const auto result = runCommand(exportCommand({input.string()}));
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto output = dir / "lap.full.overlay.mp4";
    EXPECT_EQ(result.standardOutput,
              "Done: 1 full file(s) exported\nExport Complete\n"
              "Exported 1 full video file(s).\n" +
                  output.string() + "\n");
    EXPECT_NE(result.standardError.find("Processing lap.mp4 (1/1)\n"), std::string::npos);
    EXPECT_NE(result.standardError.find("Exported: lap.full.overlay.mp4\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(temporary));

    // The burned-in frame numbers run 0, 1, 2… under the HUD.
    media::VideoReader reader(media::MediaSource::file(output), 640, 360);
    ASSERT_TRUE(reader.startReading());
    std::int64_t expected = 0;
    while (auto frame = reader.copyNextFrame()) {
        EXPECT_EQ(samples::readBurnedFrameNumber(frame->data(), 640, 360, frame->stride()),
                  expected);
        ++expected;
    }
    EXPECT_EQ(expected, 60);

    // Exporting again does not overwrite: the next name is taken.
    const auto again = runCommand(exportCommand({input.string()}));
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "lap.full.overlay-2.mp4"));
}

TEST_F(ExportCommand, OutputFileFolderAndSkippedInputs) {
    const auto named = dir / "named.mp4";
    ASSERT_EQ(runCommand(exportCommand({"-o", named.string(), input.string()})).exitStatus, 0);
    EXPECT_EQ(media::Asset::open(named).videoTrack()->naturalWidth, 640);

    const auto phone = dir / "phone.mp4";
    testing::makeTestVideo(phone, {.seconds = 1, .audio = false});
    const auto folder = dir / "out";
    const auto result =
        runCommand(exportCommand({"-o", folder.string(), input.string(), phone.string()}));
    EXPECT_EQ(result.exitStatus, 0);  // something was written
    EXPECT_TRUE(std::filesystem::exists(folder / "lap.full.overlay.mp4"));
    EXPECT_FALSE(std::filesystem::exists(folder / "phone.full.overlay.mp4"));
    EXPECT_NE(result.standardError.find(
                  "Skipped phone.mp4: No telemetry track with handler type 'adrv' found"),
              std::string::npos)
        << result.standardError;
    EXPECT_NE(result.standardOutput.find("Done: 1 exported, 1 failed\nExport Complete\n"
                                         "Exported 1 file(s). 1 file(s) failed.\n"),
              std::string::npos);

    const auto nothing = runCommand(exportCommand({"-o", folder.string(), phone.string()}));
    EXPECT_EQ(nothing.exitStatus, 1);
    EXPECT_EQ(nothing.standardOutput, "Done: 0 exported, 1 failed\n");
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

// Ctrl-C at any moment of the second half of an export (when users notice a wrong setting),
// with the temporary folder on the output's file system or on another one: the command ends
// within 5 s of the signal, with 130 (cancelled) or 0 (it had finished), and the folder holds
// the old output unchanged or a complete new one, and no temporary or staging file. The
// moments are shares of the time an export takes here, measured first.
TEST_F(ExportCommand, CtrlCAtAnyMomentEndsPromptlyAndLeavesNoDebris) {
    const auto recording = dir / "drive.mp4";
    testing::copySampleRecording(recording, {.seconds = 6, .width = 320, .height = 180});
    const auto folder = dir / "out";
    std::filesystem::create_directories(folder);
    const auto existing = folder / "drive.full.overlay.mp4";
    const auto resetOutput = [&] {
        testing::writeFile(existing, std::vector<std::uint8_t>{'o', 'l', 'd'});
    };

    std::vector<std::filesystem::path> temporaryFolders{temporary};
    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(dir.path().c_str(), &here) == 0 &&
        shm.st_dev != here.st_dev) {
        temporaryFolders.push_back("/dev/shm/skelder-cli-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(temporaryFolders.back());
    }
    for (const auto& temporaryFolder : temporaryFolders) {
        const auto command =
            exportCommand({"-o", existing.string(), recording.string()}, temporaryFolder);
        resetOutput();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(runCommand(command).exitStatus, 0);
        const double length =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto frames = [&] {
            return testing::ffprobe(existing, {"-count_frames", "-select_streams",
                                               "v"})["streams"][0]["nb_read_frames"];
        };
        const auto complete = frames();
        // Once at moments through the second half, and twice in a row halfway: the second ends
        // the command at once, still without debris.
        for (const std::vector<double>& fractions :
             std::vector<std::vector<double>>{{0.5}, {0.75}, {0.95}, {1.02}, {0.5, 0.5}}) {
            resetOutput();
            std::vector<double> signals;
            for (std::size_t i = 0; i < fractions.size(); ++i)
                signals.push_back(length * fractions[i] + 0.002 * static_cast<double>(i));
            const auto run = testing::runCommandInterruptedAt(command, signals, 5.0);
            const std::string context =
                fmt::format("{} at {:.0f} %, {} signal(s): {}", temporaryFolder.string(),
                            fractions[0] * 100, signals.size(), run.result.standardError);
            EXPECT_FALSE(run.hung) << context;
            EXPECT_LE(run.secondsAfterLastSignal, 5.0) << context;
            // 130 when the signal came first; a file finished just before it is still kept
            // (and named in the result).
            EXPECT_TRUE(run.result.exitStatus == 130 || run.result.exitStatus == 0) << context;
            const bool old = testing::readTextFile(existing) == "old";
            EXPECT_TRUE(old || frames() == complete) << "neither old nor complete: " << context;
            if (run.result.exitStatus == 0) {
                EXPECT_FALSE(old) << context;
            }
            if (signals.size() == 2) {
                EXPECT_EQ(run.result.exitStatus, 130) << context;
            }
            // A Ctrl-C that comes while the program still loads (on a busy machine) ends it
            // there, before anything started.
            if (old && signals.size() == 1 && !run.result.endedBySignal) {
                EXPECT_EQ(run.result.standardOutput, "Export canceled\n") << context;
            }
            EXPECT_TRUE(std::filesystem::is_empty(temporaryFolder)) << context;
            std::size_t entries = 0;
            for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
                ++entries;
            EXPECT_EQ(entries, 1u) << "a staging file was left: " << context;
        }
    }
    if (temporaryFolders.size() > 1)
        std::filesystem::remove_all(temporaryFolders.back());
}

TEST_F(ExportCommand, HighlightsReelWithAnExcludedSegment) {
    const auto other = dir / "other.mp4";
    testing::copySampleRecording(other, {.seconds = 40, .width = 320, .height = 180, .seed = 3});
    const auto planned = runCommand({skelderExecutable(), "highlights", "--json", other.string()});
    ASSERT_EQ(planned.exitStatus, 0) << planned.standardError;
    const auto segments = nlohmann::json::parse(planned.standardOutput)[0]["segments"];
    ASSERT_GE(segments.size(), 2u);
    const std::string excluded =
        fmt::format("{}:{}-{}", other.string(), segments[0]["startSecond"].get<int>(),
                    segments[0]["endSecond"].get<int>());

    const auto reel = dir / "reel.mp4";
    const auto result = runCommand(exportCommand(
        {"--mode", "highlights", "-o", reel.string(), "--exclude", excluded, other.string()}));
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_NE(
        result.standardOutput.find(fmt::format("[other.mp4]\nIncluded {} of {} highlight(s)\n",
                                               segments.size() - 1, segments.size())),
        std::string::npos)
        << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("Done: reel.mp4\nHighlights Reel Ready\n"
                                         "Created one highlights reel from 1 selected file(s).\n" +
                                         reel.string() + "\n"),
              std::string::npos)
        << result.standardOutput;
    double expectedSeconds = 0;
    for (std::size_t i = 1; i < segments.size(); ++i) {
        expectedSeconds += std::min<double>(segments[i]["endSecond"].get<int>() + 1, 40) -
                           segments[i]["startSecond"].get<int>();
    }
    EXPECT_NEAR(std::stod(testing::ffprobe(reel)["format"]["duration"].get<std::string>()),
                expectedSeconds, 0.1);
    EXPECT_TRUE(std::filesystem::is_empty(temporary));

    // Without -o the reel is named as proposed, in the current folder.
    const auto defaultName =
        runCommand({"sh", "-c",
                    "cd '" + dir.path().string() + "' && env TMPDIR='" + temporary.string() +
                        "' '" + skelderExecutable() + "' export --mode highlights other.mp4"});
    EXPECT_EQ(defaultName.exitStatus, 0) << defaultName.standardError;
    EXPECT_TRUE(std::filesystem::exists(dir / "other.highlights.mp4"));

    const auto badExclude =
        runCommand(exportCommand({"--mode", "highlights", "--exclude", "nonsense", "-o",
                                  (dir / "bad.mp4").string(), other.string()}));
    EXPECT_NE(badExclude.exitStatus, 0);
    EXPECT_EQ(badExclude.standardError.rfind("--exclude: \"nonsense\" is not FILE:START-END\n", 0),
              0u)
        << badExclude.standardError;
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.mp4"));
}

TEST_F(ExportCommand, AutoOffsetsUseEachRecordingsEngineSoundWhereTheEstimateIsTrusted) {
    // The sample's telemetry trails its picture by 650 ms and the HUD's decisecond values
    // trail their readings by 80 ms: 570 ms puts the HUD's engine speed in step with the sound.
    const auto lap = dir / "auto lap.mp4", mute = dir / "mute.mp4";
    testing::copySampleRecording(lap, {.seconds = 30, .width = 64, .height = 64});
    testing::copySampleRecording(mute, {.seconds = 30, .width = 64, .height = 64, .audio = false});
    const auto result = runCommand(exportCommand(
        {"--offset-ms", "auto", "-o", (dir / "out").string(), lap.string(), mute.string()}));
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    std::smatch match;
    const std::regex estimated(
        "auto lap\\.mp4: telemetry advance \\+([0-9]+) ms from the engine sound \\(confidence "
        "[0-9]\\.[0-9]{2}\\)\n");
    ASSERT_TRUE(std::regex_search(result.standardError, match, estimated)) << result.standardError;
    EXPECT_NEAR(std::stod(match[1]), 570, 50);
    EXPECT_NE(result.standardError.find("mute.mp4: telemetry advance +650 ms as set (no "
                                        "estimate: the recording has no audio track)\n"),
              std::string::npos)
        << result.standardError;
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "auto lap.full.overlay.mp4"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "mute.full.overlay.mp4"));

    const auto wrong = runCommand(exportCommand({"--offset-ms", "soon", lap.string()}));
    EXPECT_NE(wrong.exitStatus, 0);
    EXPECT_NE(wrong.standardError.find("\"soon\" is neither a number of milliseconds nor auto"),
              std::string::npos)
        << wrong.standardError;
}

}  // namespace
}  // namespace skelder
