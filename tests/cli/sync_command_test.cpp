#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "samples/sample_recording.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

// The advance that puts a sample's HUD engine speed in step with its sound: the telemetry lag
// (650 ms by default) minus the 80 ms by which the HUD's decisecond values trail their readings.
constexpr double kSampleAdvanceMilliseconds = 570;

class SyncCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        samples::SampleOptions options{.seconds = 30, .width = 64, .height = 64};
        testing::copySampleRecording(withSound, options);
        options.audio = false;
        testing::copySampleRecording(mute, options);
    }
    testing::TempDir dir;
    std::filesystem::path withSound = dir / "lap.mp4";
    std::filesystem::path mute = dir / "mute.mp4";
};

TEST_F(SyncCommand, PrintsTheEstimateOrWhyThereIsNoneOneLinePerFileOrInJSON) {
    const auto result = runCommand({skelderExecutable(), "sync", withSound, mute});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    const std::regex layout(
        "(.*): ([+-][0-9]+) ms \\(confidence ([0-9]\\.[0-9]{2}), (trusted|not trusted)\\)\n"
        "(.*): no estimate: the recording has no audio track\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(result.standardOutput, match, layout)) << result.standardOutput;
    EXPECT_EQ(match[1], withSound.string());
    EXPECT_NEAR(std::stod(match[2]), kSampleAdvanceMilliseconds, 50);
    EXPECT_GE(std::stod(match[3]), 0.25);
    EXPECT_EQ(match[4], "trusted");
    EXPECT_EQ(match[5], mute.string());

    // In JSON one object per file, with a null offset where there is no estimate.
    const auto json = runCommand({skelderExecutable(), "sync", "--json", withSound, mute});
    EXPECT_EQ(json.exitStatus, 0) << json.standardError;
    const auto report = nlohmann::json::parse(json.standardOutput);
    ASSERT_TRUE(report.is_array());
    ASSERT_EQ(report.size(), 2u);
    const auto& estimated = report[0];
    EXPECT_EQ(estimated["path"], withSound.string());
    ASSERT_TRUE(estimated["offsetMs"].is_number_integer()) << estimated.dump();
    EXPECT_NEAR(estimated["offsetMs"].get<double>(), kSampleAdvanceMilliseconds, 50);
    EXPECT_GE(estimated["confidence"].get<double>(), 0.25);
    EXPECT_EQ(estimated["trusted"], true);
    const auto& none = report[1];
    EXPECT_EQ(none["path"], mute.string());
    EXPECT_TRUE(none["offsetMs"].is_null());
    EXPECT_EQ(none["confidence"], 0.0);
    EXPECT_EQ(none["trusted"], false);
    EXPECT_EQ(none["noEstimate"], "the recording has no audio track");
}

TEST_F(SyncCommand, AnUnreadableFileFailsWithItsReasonAndTheOthersStillRun) {
    const auto missing = dir / "missing.mp4";
    const auto result = runCommand({skelderExecutable(), "sync", missing, mute});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, missing.string() + ": No such file or directory\n");
    EXPECT_EQ(result.standardOutput, missing.string() + ": error: " + missing.string() +
                                         ": No such file or directory\n" + mute.string() +
                                         ": no estimate: the recording has no audio track\n");

    const auto json = runCommand({skelderExecutable(), "sync", "--json", missing});
    EXPECT_EQ(json.exitStatus, 1);
    const auto report = nlohmann::json::parse(json.standardOutput);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_TRUE(report[0]["offsetMs"].is_null());
    EXPECT_EQ(report[0]["trusted"], false);
    EXPECT_EQ(report[0]["error"], missing.string() + ": No such file or directory");
}

}  // namespace
}  // namespace skelder
