#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "highlights/session_provider.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "tests/support/forged_recording.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

constexpr double kG = 9.80665;

// Three minutes of cruising with a gentle corner (30..33 s), a hard corner (80..86 s) and a
// full-throttle run (130..139 s).
double lapValue(const kovra::ChannelDefinition& channel, double t) {
    const bool gentle = t >= 30 && t < 34;
    const bool hard = t >= 80 && t < 87;
    const bool flatOut = t >= 130 && t < 140;
    switch (channel.id) {
        case kovra::kSpeedChannel:
            return flatOut ? 20 + 1.5 * (t - 130) : 28 + 2 * std::sin(t / 4);
        case kovra::kThrottleChannel:
            return flatOut ? 1.0 : (hard || gentle) ? 0.2 : 0.4 + 0.1 * std::sin(t / 3);
        case kovra::kBrakeChannel:
            return gentle ? 0.5 : (hard && t < 82) ? 0.7 : 0.0;
        case kovra::kEngineSpeedChannel:
            return 400 + 30 * std::sin(t / 5);
        case kovra::kGearChannel:
            return 4;
        case kovra::kLateralAccelChannel:
            return (hard ? 1.3 : gentle ? 0.34 : 0.2) * kG;
        case kovra::kLongitudinalAccelChannel:
            return (flatOut ? 0.3 : 0.05) * kG;
        default:
            return 0.0;
    }
}

class HighlightsCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        lap = (dir / "lap.mp4").string();
        kovra::writeRecording(lap, {.durationSeconds = 180, .valueAt = lapValue});
    }

    TieredTelemetrySession analyse(HighlightFilterMode mode) const {
        const TelemetrySessionProvider provider(std::make_shared<BasicTelemetryExtractionService>(),
                                                std::make_shared<TelemetrySessionCache>());
        return provider.loadTieredSession(lap, mode, {});
    }

    // The documented plain-text layout for one analysed file.
    static std::string textBlock(const std::string& path, const std::string& title,
                                 const TieredTelemetrySession& tiered) {
        std::string text = "== " + path + " (" + title + ") ==\n";
        for (const auto& line : tiered.session.highlightSegmentLines)
            text += line + "\n";
        text += fmt::format("\nsegments: {}\n", tiered.session.highlightSegments.size());
        for (const auto& s : tiered.session.highlightSegments) {
            text += fmt::format(
                "  {:>5}..{:<5} {:>4} s  {:<15}  total={:8.3f} avg={:7.3f} peak={:7.3f}\n",
                s.startSecond, s.endSecond, s.durationSeconds,
                textForm(tiered.tiers.at(PlannedSegmentKey::of(s))), s.totalScore, s.averageScore,
                s.peakScore);
        }
        return text;
    }

    testing::TempDir dir;
    std::string lap;
};

TEST_F(HighlightsCommand, EachFilterPrintsItsLinesAndTheSegmentsWithTheirTiers) {
    for (const auto& [mode, title] :
         {std::pair{HighlightFilterMode::onlyBest, "Only Best Clips"},
          std::pair{HighlightFilterMode::maybeInteresting, "Maybe Interesting"}}) {
        SCOPED_TRACE(title);
        const auto result = runCommand(
            {skelderExecutable(), "highlights", "--filter", std::string(textForm(mode)), lap});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardError, "");
        const TieredTelemetrySession expected = analyse(mode);
        ASSERT_FALSE(expected.session.highlightSegments.empty());
        EXPECT_EQ(result.standardOutput, textBlock(lap, title, expected));
        if (mode == HighlightFilterMode::onlyBest) {
            EXPECT_NE(result.standardOutput.find("\ntiming debug\n"), std::string::npos);
            EXPECT_EQ(result.standardOutput.find("maybeAdditional"), std::string::npos);
        } else {
            EXPECT_NE(result.standardOutput.find("\n#01 start="), std::string::npos);
            // The gentle corner is found by the lenient plan only; the hard one by both.
            EXPECT_NE(result.standardOutput.find(" maybeAdditional "), std::string::npos);
            EXPECT_NE(result.standardOutput.find(" best "), std::string::npos);
        }
    }
}

TEST_F(HighlightsCommand, JSONHasTheSegmentsTiersAndLinesOfEveryFileOrItsError) {
    const std::string missing = (dir / "missing.mp4").string();
    const auto result = runCommand({skelderExecutable(), "highlights", missing, lap, "--json",
                                    "--filter", "maybeInteresting"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, missing + ": No such file or directory\n");
    const auto report = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0], (nlohmann::json{{"path", missing},
                                         {"filterMode", "maybeInteresting"},
                                         {"error", missing + ": No such file or directory"}}));
    const auto& file = report[1];
    EXPECT_EQ(file.at("path"), lap);
    EXPECT_EQ(file.at("filterMode"), "maybeInteresting");
    const TieredTelemetrySession expected = analyse(HighlightFilterMode::maybeInteresting);
    EXPECT_EQ(file.at("lines").get<std::vector<std::string>>(),
              expected.session.highlightSegmentLines);
    const auto& segments = file.at("segments");
    ASSERT_EQ(segments.size(), expected.session.highlightSegments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const PlannedSegment& want = expected.session.highlightSegments[i];
        EXPECT_EQ(
            segments[i],
            (nlohmann::json{{"startSecond", want.startSecond},
                            {"endSecond", want.endSecond},
                            {"durationSeconds", want.durationSeconds},
                            {"totalScore", want.totalScore},
                            {"averageScore", want.averageScore},
                            {"peakScore", want.peakScore},
                            {"tier", textForm(expected.tiers.at(PlannedSegmentKey::of(want)))}}));
    }

    const std::string notes = (dir / "notes.txt").string();
    testing::writeFile(notes, std::vector<std::uint8_t>{1});
    const auto text = runCommand({skelderExecutable(), "highlights", lap, notes});
    EXPECT_EQ(text.exitStatus, 1);
    EXPECT_EQ(text.standardError, "Only MP4 files are supported\n");
    EXPECT_EQ(text.standardOutput,
              textBlock(lap, "Only Best Clips", analyse(HighlightFilterMode::onlyBest)) +
                  "\n== " + notes + " (Only Best Clips) ==\nerror: Only MP4 files are supported\n");
}

// The lap again, with engine speed and lateral acceleration sent as raw doubles (the latter
// scaled by 1e10 in the channel table). In two stretches the recorder sends values that are
// finite as recorded but not in the grid's units: 1e307 rad/s is beyond any double in rpm, and
// 1e300 × 1e10 is beyond any double once calibrated.
TEST_F(HighlightsCommand, ValuesThatOverflowReachNeitherTheGridNorTheStatisticsNorTheScores) {
    testing::ForgedRecording recording;
    recording.options.durationSeconds = 180;
    for (auto& channel : recording.options.channels) {
        if (channel.id == kovra::kEngineSpeedChannel || channel.id == kovra::kLateralAccelChannel) {
            channel.rawType = kovra::kRawFloat64;
            channel.calibration = kovra::NoCalibration{};
        }
    }
    recording.options.valueAt = [](const kovra::ChannelDefinition& channel, double t) {
        if (channel.id == kovra::kEngineSpeedChannel && t >= 132 && t < 134)
            return 1e307;
        if (channel.id == kovra::kLateralAccelChannel)
            return t >= 82 && t < 84 ? 1e300 : lapValue(channel, t) / 1e10;
        return lapValue(channel, t);
    };
    std::vector<kovra::ChannelDefinition> table = recording.options.channels;
    for (auto& channel : table) {
        if (channel.id == kovra::kLateralAccelChannel) {
            channel.calibration = kovra::NumericCalibration{.gain = 1e10};
        }
    }
    recording.editTables = [table](kovra::TrackTables& tables) {
        tables.sampleEntries = {kovra::adcoSampleEntryBox(table, kovra::defaultAdudRecords())};
    };
    const std::string path = (dir / "overflow.mp4").string();
    testing::writeFile(path, recording.build());

    const auto csv = runCommand({skelderExecutable(), "telemetry", path, "--csv"});
    ASSERT_EQ(csv.exitStatus, 0) << csv.standardError;
    std::istringstream rows(csv.standardOutput);
    std::string row;
    std::getline(rows, row);  // the header
    int rowCount = 0;
    double topRPM = 0;
    double topLatG = 0;
    while (std::getline(rows, row)) {
        std::vector<double> fields;
        std::istringstream cells(row);
        for (std::string cell; std::getline(cells, cell, ',');)
            fields.push_back(std::strtod(cell.c_str(), nullptr));
        ASSERT_EQ(fields.size(), 10u) << row;
        for (const double field : fields)
            ASSERT_TRUE(std::isfinite(field)) << row;
        topRPM = std::max(topRPM, fields[5]);
        topLatG = std::max(topLatG, std::fabs(fields[7]));
        ++rowCount;
    }
    EXPECT_EQ(rowCount, 1800);
    // What the lap records everywhere else: about 4100 rpm and 1.3 g at most.
    EXPECT_LT(topRPM, 5000);
    EXPECT_NEAR(topLatG, 1.3, 1e-9);

    const auto highlights = runCommand(
        {skelderExecutable(), "highlights", path, "--json", "--filter", "maybeInteresting"});
    ASSERT_EQ(highlights.exitStatus, 0) << highlights.standardError;
    const auto segments = nlohmann::json::parse(highlights.standardOutput).at(0).at("segments");
    ASSERT_FALSE(segments.empty());
    for (const auto& segment : segments) {
        for (const char* score : {"totalScore", "averageScore", "peakScore"}) {
            // A score that is not finite would be written as null.
            ASSERT_TRUE(segment.at(score).is_number()) << segment;
            EXPECT_TRUE(std::isfinite(segment.at(score).get<double>())) << segment;
        }
    }

    const auto scan = runCommand({skelderExecutable(), "scan", path, "--json"});
    ASSERT_EQ(scan.exitStatus, 0) << scan.standardError;
    const auto stats = nlohmann::json::parse(scan.standardOutput).at(0).at("stats");
    for (const char* field : {"maxSpeedMPH", "maxRPM", "maxCombinedG", "wotSeconds"})
        ASSERT_TRUE(stats.at(field).is_number()) << stats;
    EXPECT_LT(stats.at("maxRPM").get<double>(), 5000);
    EXPECT_LT(stats.at("maxCombinedG").get<double>(), 1.4);
}

}  // namespace
}  // namespace skelder
