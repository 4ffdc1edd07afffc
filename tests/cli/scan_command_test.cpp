#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kovra_writer/kovra_writer.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

// Two seconds at 100 mph, 6000 rpm, full throttle and 1 g of cornering.
kovra::RecordingOptions steadyLap() {
    kovra::RecordingOptions options;
    options.durationSeconds = 2;
    options.valueAt = [](const kovra::ChannelDefinition& channel, double) {
        switch (channel.id) {
            case kovra::kSpeedChannel:
                return 44.704;
            case kovra::kThrottleChannel:
                return 1.0;
            case kovra::kEngineSpeedChannel:
                return 6000 * 2 * M_PI / 60;
            case kovra::kGearChannel:
                return 4.0;
            case kovra::kLateralAccelChannel:
                return 9.80665;
            default:
                return 0.0;
        }
    };
    return options;
}

class ScanCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::makeRecordingWithVideo(good, {.fps = 10, .seconds = 2}, steadyLap());
        testing::makeTestVideo(noTelemetry, {.seconds = 1, .audio = false});
        // Well-formed boxes, but no movie box.
        testing::writeFile(notMP4, std::vector<std::uint8_t>{0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0,
                                                             0, 8, 'm', 'd', 'a', 't'});
        testing::writeFile(empty, {});
        testing::writeFile(cut, std::vector<std::uint8_t>{0, 0, 0, 99, 'f', 't', 'y', 'p'});
    }
    testing::TempDir dir;
    std::filesystem::path good = dir / "lap.mp4";
    std::filesystem::path noTelemetry = dir / "phone.mp4";
    std::filesystem::path notMP4 = dir / "notes.mp4";
    std::filesystem::path empty = dir / "empty.mp4";
    std::filesystem::path cut = dir / "cut.MP4";
};

TEST_F(ScanCommand, OneLinePerFileWithTheStatusTexts) {
    const auto result =
        runCommand({skelderExecutable(), "scan", good, noTelemetry, notMP4, empty, cut});
    EXPECT_EQ(result.exitStatus, 1);  // not every file scanned
    EXPECT_EQ(result.standardOutput,
              "lap.mp4  0:00:02 total  100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00\n"
              "phone.mp4  Duration pending  No Kovra Data\n"
              "notes.mp4  Duration pending  Not a Valid MP4\n"
              "empty.mp4  Duration pending  Empty File\n"
              "cut.MP4  Duration pending  Unsupported File\n");
    EXPECT_EQ(result.standardError, "");

    const auto alone = runCommand({skelderExecutable(), "scan", good});
    EXPECT_EQ(alone.exitStatus, 0);
}

TEST_F(ScanCommand, FoldersAreSearchedAndJSONCarriesEveryField) {
    std::filesystem::create_directories(dir / "sub");
    std::filesystem::rename(good, dir / "sub" / "lap.mp4");
    std::filesystem::copy_file(dir / "sub" / "lap.mp4", dir / "sub" / ".hidden.mp4");
    for (const auto& file : {noTelemetry, notMP4, empty, cut})
        std::filesystem::remove(file);
    std::filesystem::copy_file(dir / "sub" / "lap.mp4", dir / "B.Mp4");

    const auto result = runCommand({skelderExecutable(), "scan", dir.path(), "--json"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto files = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["name"], "B.Mp4");
    EXPECT_EQ(files[1]["path"], (dir / "sub" / "lap.mp4").string());
    const auto& lap = files[1];
    EXPECT_EQ(lap["status"], "done");
    EXPECT_EQ(lap["durationText"], "0:00:02 total");
    EXPECT_EQ(lap["statusText"], "100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00");
    const auto& stats = lap["stats"];
    EXPECT_NEAR(stats["maxSpeedMPH"].get<double>(), 100.0, 0.01);
    EXPECT_NEAR(stats["maxCombinedG"].get<double>(), 1.0, 0.001);
    EXPECT_EQ(stats["peakCombinedGSecond"].get<double>(), 0.0);
    EXPECT_EQ(stats["wotSeconds"].get<double>(), 2.0);
    EXPECT_NEAR(stats["durationSeconds"].get<double>(), 2.0, 0.05);
    EXPECT_EQ(stats["fileSizeBytes"].get<std::uint64_t>(),
              std::filesystem::file_size(dir / "B.Mp4"));
    EXPECT_FALSE(lap.contains("error"));
}

TEST_F(ScanCommand, FailuresInJSONCarryTheFullText) {
    const auto result = runCommand({skelderExecutable(), "scan", "--json", noTelemetry, empty});
    EXPECT_EQ(result.exitStatus, 1);
    const auto files = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["status"], "failed");
    EXPECT_EQ(files[0]["statusText"], "No Kovra Data");
    EXPECT_EQ(files[0]["durationText"], "Duration pending");
    EXPECT_EQ(files[0]["error"], "No telemetry track with handler type 'adrv' found");
    EXPECT_FALSE(files[0].contains("stats"));
    EXPECT_EQ(files[1]["error"], "Input file is empty");
}

}  // namespace
}  // namespace skelder
