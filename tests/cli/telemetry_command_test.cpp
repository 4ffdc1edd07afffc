#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/extraction_service.hpp"
#include "tests/support/file_cutter.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

class TelemetryCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        recording = dir / "session.mp4";
        kovra::writeRecording(recording, {.durationSeconds = 12, .headerOffsetTicks = 6'500'000});
        data = BasicTelemetryExtractionService().extractTelemetry(recording, true, true);
        for (const auto& line : telemetryTimingReport(
                 data.packetRecords, data.overlaySamplesByDecisecond, data.headerMinusPTSSeconds))
            report += line + "\n";
        report += "\ngrid: 120 deciseconds from 0.0 s to 11.9 s; 12 feature buckets\n";
    }
    testing::TempDir dir;
    std::filesystem::path recording;
    ParsedTelemetryData data;
    std::string report;  // what the command prints for the recording
};

TEST_F(TelemetryCommand, PrintsTheTimingReportAndGridSummaryOrTheGridAsCSV) {
    const auto result = runCommand({skelderExecutable(), "telemetry", recording});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput, report);
    EXPECT_NE(result.standardOutput.find("median_header_minus_pts=0.650 sec"), std::string::npos);

    // The CSV reads back to the same grid.
    const auto csv = runCommand({skelderExecutable(), "telemetry", recording, "--csv"});
    ASSERT_EQ(csv.exitStatus, 0);
    std::istringstream lines(csv.standardOutput);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "decisecond,seconds,speedMps,throttle,brake,rpm,gear,latG,lonG,steeringDeg");
    auto next = data.overlaySamplesByDecisecond.begin();
    std::size_t rows = 0;
    while (std::getline(lines, line)) {
        ASSERT_NE(next, data.overlaySamplesByDecisecond.end());
        const auto [decisecond, sample] = *next;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(cell);
        ASSERT_EQ(fields.size(), 10u) << line;
        const auto real = [&](int i) { return std::strtod(fields[i].c_str(), nullptr); };
        EXPECT_EQ(std::stoll(fields[0]), decisecond);
        EXPECT_EQ(real(1), static_cast<double>(decisecond) / 10.0);
        EXPECT_EQ(real(2), sample.speedMps);
        EXPECT_EQ(real(3), sample.throttle);
        EXPECT_EQ(real(4), sample.brake);
        EXPECT_EQ(real(5), sample.rpm);
        EXPECT_EQ(std::stoll(fields[6]), sample.gear);
        EXPECT_EQ(real(7), sample.latG);
        EXPECT_EQ(real(8), sample.lonG);
        EXPECT_EQ(real(9), sample.steeringDeg);
        ++next;
        ++rows;
    }
    EXPECT_EQ(rows, 120u);
}

// A second thread keeps cutting the recording short and writing it back while `skelder
// telemetry` reads it: each run prints the whole report or fails with one line, never dies.
TEST_F(TelemetryCommand, ARecordingCutWhileItIsReadFailsWithOneLine) {
    std::ifstream in(recording, std::ios::binary);
    testing::FileCutter cutter(recording, {std::istreambuf_iterator<char>(in), {}},
                               std::chrono::milliseconds(2));
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        const auto result = runCommand({skelderExecutable(), "telemetry", recording});
        if (result.exitStatus == 0) {
            EXPECT_EQ(result.standardOutput, report);
            EXPECT_EQ(result.standardError, "");
            continue;
        }
        ASSERT_EQ(result.exitStatus, 1) << result.standardError;
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1)
            << result.standardError;
    }
}

}  // namespace
}  // namespace skelder
