#include "samples/sample_telemetry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "samples/sample_recording.hpp"
#include "telemetry/extraction_service.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::samples {
namespace {

constexpr double kLag = 0.65;

// The drive as the telemetry should show it: the value the recorder sent last within a
// decisecond, `hundredths` after its start, from the drive kLag earlier.
DriveState sent(const DriveSimulation& drive, std::int64_t decisecond, int hundredths) {
    const double seconds = static_cast<double>(decisecond * 10 + hundredths) / 100.0;
    return drive.stateAt(std::max(0.0, seconds - kLag));
}

// A sample's telemetry read back through the extraction service.
TEST(SampleTelemetry, ReadsBackAsTheDriveWithTheRecordersLagAndItsEvents) {
    skelder::testing::TempDir directory;
    const SampleOptions options{
        .seconds = 31, .width = 64, .height = 64, .audio = false, .seed = 11};
    writeSampleRecording(directory / "telemetry.mp4", options);
    const ParsedTelemetryData data =
        BasicTelemetryExtractionService().extractTelemetry(directory / "telemetry.mp4", true, true);
    const DriveSimulation drive = sampleDrive(options);
    const DecisecondGrid& grid = data.overlaySamplesByDecisecond;
    ASSERT_FALSE(grid.empty());
    EXPECT_EQ(grid.firstKey(), 0);
    EXPECT_EQ(grid.lastKey(), 309);
    ASSERT_TRUE(data.headerMinusPTSSeconds.has_value());
    EXPECT_NEAR(*data.headerMinusPTSSeconds, 0.65, 1e-9);
    EXPECT_EQ(data.contiguousBuckets.size(), 31u);

    const double g = 9.80665;
    for (const auto& [decisecond, sample] : grid) {
        // The header clock runs 0.65 s ahead, so rates fall due off the whole decisecond: the
        // 10 Hz channels report at +50 ms, the 50 Hz and 100 Hz ones last at +90 ms. Tolerances
        // are the recorder's resolution.
        const DriveState at5 = sent(drive, decisecond, 5);
        const DriveState at9 = sent(drive, decisecond, 9);
        EXPECT_NEAR(sample.speedMps, at5.speedMps, 0.0051) << decisecond;
        EXPECT_EQ(sample.gear, at5.gear) << decisecond;
        EXPECT_NEAR(sample.throttle, at9.throttle, 0.00051) << decisecond;
        EXPECT_NEAR(sample.brake, at9.brake, 0.00051) << decisecond;
        EXPECT_NEAR(sample.rpm, at9.engineRpm, 0.5) << decisecond;
        EXPECT_NEAR(sample.steeringDeg, at9.steeringAngleRadians * 180 / std::numbers::pi, 0.006)
            << decisecond;
        EXPECT_NEAR(sample.latG, at9.lateralAccelerationMps2 / g, 0.0051 / g) << decisecond;
        EXPECT_NEAR(sample.lonG, at9.longitudinalAccelerationMps2 / g, 0.0051 / g) << decisecond;
        // What the car can do, and a driver does: the tyres' grip (1% for the smoothing of the
        // inputs, and the sensors' noise), one pedal at a time, gears with the engine below its
        // shift point, the pit lane's limit.
        const VehicleModel& car = drive.options().vehicle;
        EXPECT_TRUE(at9.speedMps >= 0 && at9.speedMps < 75) << decisecond;
        EXPECT_LE(std::abs(at9.lateralAccelerationMps2),
                  car.lateralGripAt(at9.speedMps) * 1.01 + 0.35)
            << decisecond;
        EXPECT_TRUE(at9.throttle == 0 || at9.brake == 0) << decisecond;
        EXPECT_TRUE(at9.gear >= 1 && at9.gear <= car.topGear()) << decisecond;
        EXPECT_LE(at9.engineRpm, car.upshiftRpm + 100) << decisecond;
        if (drive.segmentNameAt(at9.seconds) == "Pit lane") {
            EXPECT_LE(at9.speedMps, kPitLaneSpeedLimitMps + 0.01) << decisecond;
        }
    }

    const auto at = [&](double driveSeconds) {
        return *grid.find(static_cast<std::int64_t>(std::floor((driveSeconds + kLag) * 10)));
    };
    // Standing in the pit box: engine idling, no speed.
    EXPECT_EQ(at(0.5).speedMps, 0.0);
    EXPECT_NEAR(at(0.5).rpm, 850, 15);
    EXPECT_EQ(at(0.5).gear, 1);
    // Flat out down the main straight, in fourth or fifth.
    const FullThrottleRun& run = drive.fullThrottleRuns().front();
    EXPECT_EQ(at(run.startSeconds + 3).throttle, 1.0);
    EXPECT_EQ(at(run.startSeconds + 3).brake, 0.0);
    EXPECT_GT(at(run.endSeconds - 0.5).speedMps, 50);
    EXPECT_GE(at(run.endSeconds - 0.5).gear, 5);
    EXPECT_GT(at(run.startSeconds + 1).lonG, 0.3);
    // Hard on the brakes for the hairpin.
    const BrakingZone& braking = drive.brakingZones().front();
    const double middle = (braking.startSeconds + braking.endSeconds) / 2;
    EXPECT_GT(at(middle).brake, 0.6);
    EXPECT_EQ(at(middle).throttle, 0.0);
    EXPECT_LT(at(middle).lonG, -1.2);
    // Round the hairpin, a left-hander: negative lateral G and steering.
    const CornerPass& hairpin = drive.corners().front();
    ASSERT_EQ(hairpin.name, "T1 hairpin");
    const double apex = (hairpin.entrySeconds + hairpin.exitSeconds) / 2;
    EXPECT_LT(at(apex).latG, -1.0);
    EXPECT_LT(at(apex).steeringDeg, -120);
    EXPECT_LT(at(apex).speedMps, 15);
    // The per-second buckets see the same peaks.
    double peakLateral = 0;
    for (const auto& bucket : data.contiguousBuckets)
        peakLateral = std::max(peakLateral, bucket.bucket.latAbsMaxG);
    EXPECT_NEAR(peakLateral, hairpin.peakLateralG, 0.05);
}

}  // namespace
}  // namespace skelder::samples
