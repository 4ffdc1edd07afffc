#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <regex>

#include "laps/lap_analysis.hpp"
#include "samples/drive_simulation.hpp"
#include "samples/sample_recording.hpp"
#include "samples/speed_profile.hpp"
#include "tests/support/camera_recordings.hpp"
#include "tests/support/circuit_drive.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using testing::runCommand;
using testing::skelderExecutable;

// Recordings with the telemetry track alone, of a club circuit lapped five times and of a road:
// laps need no picture.
class LapsCommand : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory = std::make_unique<testing::TempDir>();
        club = std::make_unique<testing::CircuitDrive>(testing::clubCircuit(),
                                                       testing::DriveOptions{.flyingLaps = 5});
        testing::writeCircuitRecording(*directory / "club.mp4", *club);
        testing::writeCircuitRecording(*directory / "road.mp4",
                                       testing::CircuitDrive(testing::road(), {.openRoad = true}));
    }
    static std::string path(const char* name) { return (*directory / name).string(); }
    static inline std::unique_ptr<testing::TempDir> directory;
    static inline std::unique_ptr<testing::CircuitDrive> club;
};

// The pixels of a PNG file, row by row from the top, as 0xAARRGGBB.
std::vector<std::uint32_t> pngPixels(const std::string& file) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(file.c_str());
    std::vector<std::uint32_t> pixels;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        const int width = cairo_image_surface_get_width(image);
        const int stride = cairo_image_surface_get_stride(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        for (int y = 0; y < cairo_image_surface_get_height(image); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            pixels.insert(pixels.end(), row, row + width);
        }
    }
    cairo_surface_destroy(image);
    return pixels;
}

// The true time of the lap that starts nearest a moment: from there round to the same place.
double trueLapTime(const testing::CircuitDrive& drive, double startSeconds) {
    const double place = drive.circuitMetresAt(startSeconds);
    return drive.secondsAtCircuitMetres(place + drive.circuitLengthMetres()) - startSeconds;
}

TEST_F(LapsCommand, PrintsABlockPerFileWithEveryLapItsGapAndThePartialLaps) {
    const auto result = runCommand(
        {skelderExecutable(), "laps", path("club.mp4"), path("road.mp4"), "--unit", "kmh"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const std::string lap =
        "  lap ([1-5]) +([0-9]:[0-5][0-9]\\.[0-9]{3})  (best|\\+[0-9]\\.[0-9]{3}) +([0-9]+) km/h\n";
    const std::regex layout(
        path("club.mp4") +
        ": 5 laps of 1\\.10 km, best lap ([1-5]) \\(([0-9]:[0-9]{2}\\.[0-9]{3})\\)\n" + lap + lap +
        lap + lap + lap +
        "  out-lap  +[0-9]:[0-9]{2}\\.[0-9]{3}  partial\n"
        "  in-lap   +[0-9]:[0-9]{2}\\.[0-9]{3}  partial\n\n" +
        path("road.mp4") +
        ": no laps: the drive never comes back on itself \\(a road, a hill "
        "climb or an autocross\\)\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(result.standardOutput, match, layout)) << result.standardOutput;
    const std::string best = match[1];
    for (int k = 0; k < 5; ++k) {
        const std::string gap = match[5 + 4 * k];
        EXPECT_EQ(gap == "best", match[3 + 4 * k] == best) << "lap " << match[3 + 4 * k];
        EXPECT_NEAR(std::stod(match[6 + 4 * k]), 3.6 * 45, 3.6 * 15);  // the straight's top speed
    }
}

TEST_F(LapsCommand, JsonHasTheLapsInTelemetrySecondsAndTheMap) {
    const auto result = runCommand({skelderExecutable(), "laps", "--json", path("club.mp4"),
                                    path("road.mp4"), path("missing.mp4")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find(path("missing.mp4") + ": "), std::string::npos);
    const auto report = nlohmann::json::parse(result.standardOutput);
    ASSERT_EQ(report.size(), 3u);
    const auto& laps = report[0];
    EXPECT_EQ(laps["path"], path("club.mp4"));
    EXPECT_NEAR(laps["lapLengthMeters"].get<double>(), club->circuitLengthMetres(), 10);
    EXPECT_TRUE(laps["noLaps"].is_null());
    ASSERT_EQ(laps["laps"].size(), 5u);
    double fastest = 1e9;
    for (const auto& lap : laps["laps"]) {
        const double start = lap["startSeconds"];
        EXPECT_NEAR(lap["timeSeconds"].get<double>(), trueLapTime(*club, start), 0.05);
        EXPECT_DOUBLE_EQ(lap["endSeconds"].get<double>() - start, lap["timeSeconds"].get<double>());
        fastest = std::min(fastest, lap["timeSeconds"].get<double>());
    }
    for (const auto& lap : laps["laps"])
        EXPECT_EQ(lap["best"].get<bool>(), lap["timeSeconds"].get<double>() == fastest);
    EXPECT_EQ(laps["outLap"]["startSeconds"], 0.0);
    EXPECT_EQ(laps["outLap"]["endSeconds"], laps["laps"][0]["startSeconds"]);
    EXPECT_EQ(laps["inLap"]["startSeconds"], laps["laps"][4]["endSeconds"]);
    ASSERT_GT(laps["map"].size(), 100u);
    EXPECT_EQ(laps["map"][0].size(), 2u);

    const auto& road = report[1];
    EXPECT_EQ(road["noLaps"],
              "the drive never comes back on itself (a road, a hill climb or an autocross)");
    EXPECT_TRUE(road["laps"].empty());
    EXPECT_TRUE(road["outLap"].is_null());
    EXPECT_FALSE(report[2]["error"].get<std::string>().empty());
    EXPECT_FALSE(report[2].contains("laps"));
}

TEST_F(LapsCommand, LineAtPutsTheLineWhereTheCarWasThen) {
    const double chosen = 100;
    const auto result =
        runCommand({skelderExecutable(), "laps", "--json", "--line-at", "100", path("club.mp4")});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto laps = nlohmann::json::parse(result.standardOutput)[0]["laps"];
    double nearest = 1e9;
    for (const auto& lap : laps)
        nearest = std::min(nearest, std::abs(lap["startSeconds"].get<double>() - chosen));
    EXPECT_LT(nearest, 0.05);
}

// The reel holds each recording's best lap, line to line as the picture shows it (the telemetry
// trails the picture by the advance), and says which lap it took.
TEST_F(LapsCommand, ExportBestLapsReelHoldsTheBestLapOfEachRecording) {
    testing::CameraRecordingSpec camera;
    camera.name = "laps_club";
    camera.displayWidth = 160;
    camera.displayHeight = 90;
    camera.frameRate = "10";
    camera.audio = testing::CameraAudio::none;
    camera.seconds = std::ceil(club->endSeconds());
    const std::string recording = path("club-camera.mp4");
    testing::writeCircuitRecording(recording, *club, testing::cameraVideo(camera));
    const std::string reel = path("best.mp4");
    const auto result = runCommand({skelderExecutable(), "export", "--mode", "bestlaps", "-o", reel,
                                    "--offset-ms", "300", recording, path("road.mp4")});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto listed = nlohmann::json::parse(
        runCommand({skelderExecutable(), "laps", "--json", recording}).standardOutput)[0];
    const nlohmann::json* best = nullptr;
    for (const auto& lap : listed["laps"]) {
        if (lap["best"].get<bool>())
            best = &lap;
    }
    ASSERT_NE(best, nullptr);
    const std::regex preview("\\[club-camera\\.mp4\\]\nBest lap " + best->at("number").dump() +
                             " of 5: 0:[0-9]{2}\\.[0-9]{3}\n\n\\[road\\.mp4\\] Skipped: no laps: "
                             "[^\n]+\n\n(.|\n)*Best Laps Reel Ready\n(.|\n)*");
    EXPECT_TRUE(std::regex_match(result.standardOutput, preview)) << result.standardOutput;
    // The piece starts on the frame at or after the crossing in the picture and ends at the
    // next crossing: the lap's time, to a frame.
    const double duration =
        std::stod(testing::ffprobe(reel)["format"]["duration"].get<std::string>());
    EXPECT_NEAR(duration, best->at("timeSeconds").get<double>(), 0.15);
}

// The lap elements draw at the top left, beside the specified HUD, and only when asked for.
TEST_F(LapsCommand, HudDrawsTheLapElementsOnlyWhenSwitchedOn) {
    const auto refused = runCommand({skelderExecutable(), "hud", path("club.mp4"), "--at", "120",
                                     "--lap-hud", "timer,speed", "-o", path("refused.png")});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.standardError, "--lap-hud: \"speed\" is not timer, gap, map or none\n");
    for (const char* choice : {"none", "timer,gap,map"}) {
        const auto drawn =
            runCommand({skelderExecutable(), "hud", path("club.mp4"), "--at", "120", "--size",
                        "640x360", "--lap-hud", choice, "-o", path(choice) + std::string(".png")});
        ASSERT_EQ(drawn.exitStatus, 0) << drawn.standardError;
    }
    const auto plain = pngPixels(path("none.png"));
    const auto laps = pngPixels(path("timer,gap,map.png"));
    ASSERT_EQ(plain.size(), 640u * 360u);
    ASSERT_EQ(laps.size(), plain.size());
    // Rows from the top: the lap elements take the upper left corner and nothing else changes.
    int changedInside = 0;
    for (int y = 0; y < 360; ++y) {
        for (int x = 0; x < 640; ++x) {
            const std::size_t at = static_cast<std::size_t>(y * 640 + x);
            const bool changed = plain[at] != laps[at];
            if (x < 260 && y < 200) {
                changedInside += changed;
            } else {
                ASSERT_FALSE(changed) << "at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(changedInside, 5000);
}

// A sample of the club circuit: every lap as the simulated car drove it, the laps differing
// by a few tenths as the driver's pace does.
TEST(LapsOfASample, AreTimedAsTheSimulatedCarDroveThem) {
    testing::TempDir directory;
    const std::string file = (directory / "club.mp4").string();
    const auto written =
        runCommand({skelderExecutable(), "sample", file, "--circuit", "club", "--seconds", "330",
                    "--size", "64x64", "--fps", "5", "--no-audio"});
    ASSERT_EQ(written.exitStatus, 0) << written.standardError;
    const auto result = runCommand({skelderExecutable(), "laps", "--json", file});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto laps = nlohmann::json::parse(result.standardOutput)[0]["laps"];

    const samples::DriveSimulation drive(
        {.durationSeconds = 330, .circuit = samples::SampleCircuit::club});
    double lap = 0;
    for (const auto& segment : samples::sampleCircuitLap(samples::SampleCircuit::club))
        lap += segment.lengthMetres;
    // The telemetry trails the simulation by its lag: a reading at t is the car at t - lag.
    const double lag = samples::SampleOptions{}.telemetryLagSeconds;
    const auto distanceAt = [&](double telemetrySeconds) {
        return drive.stateAt(telemetrySeconds - lag).distanceMetres;
    };
    const auto secondsAtDistance = [&](double metres) {
        double low = 0;
        double high = drive.durationSeconds();
        for (int step = 0; step < 60; ++step)
            (drive.stateAt((low + high) / 2).distanceMetres < metres ? low : high) =
                (low + high) / 2;
        return high + lag;
    };
    const double line = distanceAt(laps[0]["startSeconds"].get<double>());
    const double last = drive.stateAt(drive.durationSeconds()).distanceMetres;
    const auto complete = static_cast<std::size_t>(std::floor((last - line) / lap));
    ASSERT_EQ(laps.size(), complete);
    double shortest = 1e9;
    double longest = 0;
    for (std::size_t k = 0; k < laps.size(); ++k) {
        const double truth =
            secondsAtDistance(line + (k + 1) * lap) - secondsAtDistance(line + k * lap);
        EXPECT_NEAR(laps[k]["timeSeconds"].get<double>(), truth, 0.05) << "lap " << k + 1;
        shortest = std::min(shortest, truth);
        longest = std::max(longest, truth);
    }
    EXPECT_GT(longest - shortest, 0.2);  // the laps differ as a driver's do
}

}  // namespace
}  // namespace skelder
