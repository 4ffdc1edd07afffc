#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kovra_writer/costly_shapes.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/file_cutter.hpp"
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

TEST_F(ScanCommand, OneLinePerFileWithTheStatusTextsAndTheReasonsOnStandardError) {
    const auto result =
        runCommand({skelderExecutable(), "scan", good, noTelemetry, notMP4, empty, cut});
    EXPECT_EQ(result.exitStatus, 1);  // not every file scanned
    EXPECT_EQ(result.standardOutput,
              "lap.mp4  0:00:02 total  100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00\n"
              "phone.mp4  Duration pending  No Kovra Data\n"
              "notes.mp4  Duration pending  Not a Valid MP4\n"
              "empty.mp4  Duration pending  Empty File\n"
              "cut.MP4  Duration pending  Unsupported File\n");
    EXPECT_EQ(result.standardError,
              noTelemetry.string() + ": No telemetry track with handler type 'adrv' found\n" +
                  notMP4.string() + ": MP4 metadata box 'moov' not found\n" + empty.string() +
                  ": Input file is empty\n" + cut.string() + ": Invalid box size\n");

    // The same file named twice is scanned once.
    const auto twice = runCommand({skelderExecutable(), "scan", good, dir / "." / "lap.mp4"});
    EXPECT_EQ(twice.exitStatus, 0);
    EXPECT_EQ(twice.standardOutput,
              "lap.mp4  0:00:02 total  100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00\n");

    const auto json = runCommand({skelderExecutable(), "scan", "--json", noTelemetry, empty});
    EXPECT_EQ(json.exitStatus, 1);
    const auto files = nlohmann::json::parse(json.standardOutput);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]["status"], "failed");
    EXPECT_EQ(files[0]["statusText"], "No Kovra Data");
    EXPECT_EQ(files[0]["durationText"], "Duration pending");
    EXPECT_EQ(files[0]["error"], "No telemetry track with handler type 'adrv' found");
    EXPECT_FALSE(files[0].contains("stats"));
    EXPECT_EQ(files[1]["error"], "Input file is empty");
}

TEST_F(ScanCommand, KilometresPerHourChangeTheLinesButNotTheJSONAndOtherUnitsAreRefused) {
    const auto kmh = runCommand({skelderExecutable(), "scan", good, "--unit", "kmh"});
    EXPECT_EQ(kmh.exitStatus, 0) << kmh.standardError;
    // 44.704 m/s is 160.93 km/h.
    EXPECT_EQ(kmh.standardOutput,
              "lap.mp4  0:00:02 total  161 km/h  |  6000 rpm  |  WOT 2.0s  |  G 1.00\n");
    const auto mph = runCommand({skelderExecutable(), "scan", good, "--unit", "mph"});
    EXPECT_EQ(mph.standardOutput,
              "lap.mp4  0:00:02 total  100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00\n");

    // JSON keeps its fields and units whatever the unit: the top speed in mph and in m/s.
    const auto json = runCommand({skelderExecutable(), "scan", good, "--json"});
    const auto jsonKmh = runCommand({skelderExecutable(), "scan", "--unit", "kmh", good, "--json"});
    EXPECT_EQ(jsonKmh.exitStatus, 0);
    EXPECT_EQ(jsonKmh.standardOutput, json.standardOutput);
    const auto stats = nlohmann::json::parse(jsonKmh.standardOutput).at(0).at("stats");
    EXPECT_NEAR(stats.at("maxSpeedMPH").get<double>(), 100.0, 0.01);
    // The recorder keeps speed to a hundredth of a metre per second.
    EXPECT_NEAR(stats.at("maxSpeedMps").get<double>(), 44.704, 0.01);

    for (const std::string unit : {"knots", "km/h", "KMH", ""}) {
        const auto result = runCommand({skelderExecutable(), "scan", good, "--unit", unit});
        EXPECT_EQ(result.exitStatus, 1) << unit;
        EXPECT_EQ(result.standardOutput, "") << unit;
        EXPECT_EQ(result.standardError,
                  "--unit: \"" + unit + "\" is not a speed unit; use mph or kmh\n");
    }
}

std::vector<std::uint8_t> bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A card with a good recording and a copy that a second thread keeps cutting short and writing
// back, as a card pulled during a copy or a sync tool would: the copy may fail, with its reason
// on standard error, but the scan never dies and the good recording is always summarised.
TEST_F(ScanCommand, AFileCutWhileItIsScannedFailsAloneAndTheOthersAreSummarised) {
    const auto card = dir / "card";
    std::filesystem::create_directories(card);
    std::filesystem::copy_file(good, card / "lap.mp4");
    const auto copy = card / "copy.mp4";
    std::filesystem::copy_file(good, copy);
    const std::string lapLine =
        "lap.mp4  0:00:02 total  100 mph  |  6000 rpm  |  WOT 2.0s  |  G 1.00";
    testing::FileCutter cutter(copy, bytesOf(good), std::chrono::milliseconds(2));
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        const auto result = runCommand({skelderExecutable(), "scan", card});
        ASSERT_TRUE(result.exitStatus == 0 || result.exitStatus == 1)
            << "exit status " << result.exitStatus << "\n"
            << result.standardError;
        const auto lines = linesOf(result.standardOutput);
        ASSERT_EQ(lines.size(), 2u) << result.standardOutput;
        EXPECT_TRUE(lines[0].starts_with("copy.mp4  ")) << lines[0];
        EXPECT_EQ(lines[1], lapLine);
        if (result.exitStatus == 0) {
            EXPECT_EQ(result.standardError, "");
            continue;
        }
        const auto errors = linesOf(result.standardError);
        ASSERT_EQ(errors.size(), 1u) << result.standardError;
        EXPECT_TRUE(errors[0].starts_with(copy.string() + ": ")) << errors[0];
    }
}

// Files shaped to be slow to read (thousands of rates without channels or rarely due, tens of
// thousands of channels nobody reads, a sample per payload cycle, deeply nested boxes) beside
// the drive they were made from: all are summarised, each exactly like the drive.
TEST(ScanCommandShapes, CostlyShapesAreSummarisedLikeThePlainDrive) {
    testing::TempDir dir;
    kovra::RecordingOptions drive;
    drive.durationSeconds = 5;
    kovra::writeRecording(dir / "a-plain.mp4", drive);
    kovra::writeRecording(dir / "b-unused-rates.mp4", kovra::withUnusedRates(drive, 20000));
    kovra::writeRecording(dir / "c-rarely-due-rates.mp4", kovra::withRarelyDueRates(drive, 5000));
    kovra::writeRecording(dir / "d-unread-channels.mp4", kovra::withUnreadChannels(drive, 64000));
    kovra::writeRecording(dir / "e-tiny-samples.mp4", kovra::withTinySamples(drive, 1000));
    testing::writeFile(dir / "f-nested-boxes.mp4", kovra::withNestedBoxes(drive, 5000));

    const auto result = runCommand({skelderExecutable(), "scan", dir.path()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto lines = linesOf(result.standardOutput);
    ASSERT_EQ(lines.size(), 6u) << result.standardOutput;
    // The statistics line follows the name and the duration text.
    const auto statisticsOf = [](const std::string& line) {
        const std::size_t bar = line.find(" mph  |  ");
        const std::size_t start = line.rfind("  ", bar);
        return bar == std::string::npos ? line : line.substr(start + 2);
    };
    const std::string statistics = statisticsOf(lines[0]);
    EXPECT_TRUE(lines[0].starts_with("a-plain.mp4  ")) << lines[0];
    EXPECT_NE(statistics.find(" rpm  |  WOT "), std::string::npos) << lines[0];
    EXPECT_FALSE(statistics.starts_with("0 mph")) << lines[0];
    const char* names[] = {"b-unused-rates.mp4", "c-rarely-due-rates.mp4", "d-unread-channels.mp4",
                           "e-tiny-samples.mp4", "f-nested-boxes.mp4"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(lines[i + 1].starts_with(std::string(names[i]) + "  ")) << lines[i + 1];
        EXPECT_EQ(statisticsOf(lines[i + 1]), statistics) << lines[i + 1];
    }
}

}  // namespace
}  // namespace skelder
