#include "samples/drive_simulation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace skelder::samples {
namespace {

constexpr double kG = kStandardGravity;

// Integrates the lap's segments as a path in the plane.
TEST(SampleCircuit, LapClosesOnItselfWithOneFullTurn) {
    double x = 0;
    double y = 0;
    double heading = 0;
    double turned = 0;
    for (const TrackSegment& segment : sampleCircuitLap()) {
        const int steps = 1000;
        const double length = segment.lengthMetres / steps;
        for (int i = 0; i < steps; ++i) {
            heading -= segment.signedCurvature() * length / 2;  // right turns turn clockwise
            x += length * std::cos(heading);
            y += length * std::sin(heading);
            heading -= segment.signedCurvature() * length / 2;
        }
        turned += segment.turnRadians();
    }
    EXPECT_NEAR(std::hypot(x, y), 0.0, 0.5);
    EXPECT_NEAR(turned, -2 * std::numbers::pi, 1e-9);  // anticlockwise
}

TEST(SampleCircuit, HasTheCornersAndStraightsADemoNeeds) {
    const auto lap = sampleCircuitLap();
    const auto longest = std::max_element(lap.begin(), lap.end(), [](const auto& a, const auto& b) {
        return (a.isCorner() ? 0 : a.lengthMetres) < (b.isCorner() ? 0 : b.lengthMetres);
    });
    EXPECT_EQ(longest->name, "Main straight");
    EXPECT_GE(longest->lengthMetres, 800);
    const auto named = [&](const std::string& name) {
        return *std::find_if(lap.begin(), lap.end(), [&](const auto& s) { return s.name == name; });
    };
    EXPECT_LE(named("T1 hairpin").radiusMetres, 15);
    EXPECT_NEAR(std::abs(named("T1 hairpin").turnRadians()), std::numbers::pi, 1e-9);
    EXPECT_GE(named("T2 sweeper").radiusMetres, 150);
    EXPECT_EQ(named("T2 sweeper").direction, TurnDirection::right);
    EXPECT_LE(named("T4 chicane").radiusMetres, 30);

    const auto outLap = sampleCircuitOutLap();
    EXPECT_EQ(outLap.front().name, "Pit lane");
    EXPECT_LT(outLap.front().speedLimitMps, kPitLaneSpeedLimitMps);
    EXPECT_GT(outLap.front().speedLimitMps, 0.9 * kPitLaneSpeedLimitMps);
}

class DrivePhysics : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        exact = new DriveSimulation({.durationSeconds = 170, .seed = 1, .noiseScale = 0});
    }
    static void TearDownTestSuite() {
        delete exact;
        exact = nullptr;
    }
    // Every 100 Hz sample of the drive.
    template <typename Check>
    static void forEachSample(Check check) {
        for (int k = 0; k <= 17000; ++k) {
            check(exact->stateAt(k / 100.0));
        }
    }
    static const CornerPass& firstPass(const std::string& name) {
        const auto& corners = exact->corners();
        return *std::find_if(corners.begin(), corners.end(),
                             [&](const CornerPass& c) { return c.name == name; });
    }
    static inline DriveSimulation* exact = nullptr;
    const VehicleModel vehicle{};
};

TEST_F(DrivePhysics, StandsInThePitBoxThenKeepsThePitLaneLimit) {
    for (double t = 0; t < 1.5; t += 0.1) {
        const DriveState s = exact->stateAt(t);
        EXPECT_EQ(s.speedMps, 0.0) << t;
        EXPECT_EQ(s.engineRpm, vehicle.idleRpm) << t;
        EXPECT_EQ(s.throttle, 0.0) << t;
        EXPECT_GT(s.brake, 0.0) << t;
    }
    EXPECT_EQ(exact->segmentNameAt(1), "Pit lane");
    EXPECT_EQ(exact->stateAt(1).lap, 0);
    for (double t = 0; exact->segmentNameAt(t) == "Pit lane"; t += 0.005) {
        EXPECT_LE(exact->stateAt(t).speedMps, kPitLaneSpeedLimitMps + 0.01) << t;
    }
}

TEST_F(DrivePhysics, SpeedStaysWithinWhatTheCarCanDo) {
    forEachSample([&](const DriveState& s) {
        EXPECT_GE(s.speedMps, 0.0) << s.seconds;
        EXPECT_LT(s.speedMps, 75.0) << s.seconds;
        // Cornering never asks for more than the tyres give (1% for the smoothing of inputs).
        EXPECT_LE(std::abs(s.lateralAccelerationMps2), vehicle.lateralGripAt(s.speedMps) * 1.01)
            << s.seconds;
        EXPECT_LE(s.longitudinalAccelerationMps2, vehicle.tractionLimitMps2 + 0.1) << s.seconds;
        EXPECT_GE(s.longitudinalAccelerationMps2, -1.75 * kG) << s.seconds;
    });
}

TEST_F(DrivePhysics, LongitudinalAccelerationIsTheRateOfChangeOfSpeed) {
    for (double t = 0.05; t < 169.9; t += 0.37) {
        const double derivative =
            (exact->stateAt(t + 0.05).speedMps - exact->stateAt(t - 0.05).speedMps) / 0.1;
        EXPECT_NEAR(exact->stateAt(t).longitudinalAccelerationMps2, derivative, 0.25) << t;
    }
}

TEST_F(DrivePhysics, DistanceIsTheIntegralOfSpeed) {
    double distance = 0;
    for (int k = 1; k <= 17000; ++k) {
        distance +=
            (exact->stateAt((k - 1) / 100.0).speedMps + exact->stateAt(k / 100.0).speedMps) / 2 *
            0.01;
    }
    EXPECT_NEAR(exact->stateAt(170).distanceMetres, distance, 0.5);
}

TEST_F(DrivePhysics, CornersAreTakenAtTheSpeedTheirRadiusAllows) {
    for (const std::string name : {"T1 hairpin", "T2 sweeper", "T3", "T7 last corner"}) {
        const CornerPass& pass = firstPass(name);
        // At the apex, mid-corner: lateral acceleration v^2 / r and steering from the radius.
        const DriveState apex = exact->stateAt((pass.entrySeconds + pass.exitSeconds) / 2);
        const double expectedLateral = apex.speedMps * apex.speedMps / pass.radiusMetres;
        const double sign = pass.direction == TurnDirection::right ? 1.0 : -1.0;
        EXPECT_NEAR(apex.lateralAccelerationMps2, sign * expectedLateral, 0.02 * expectedLateral)
            << name;
        EXPECT_NEAR(
            apex.steeringAngleRadians,
            sign * std::atan(vehicle.wheelbaseMetres / pass.radiusMetres) * vehicle.steeringRatio,
            0.02)
            << name;
        // Near the grip limit: a driver on a fast lap.
        EXPECT_GT(expectedLateral, 0.95 * vehicle.lateralGripAt(apex.speedMps)) << name;
    }
}

TEST_F(DrivePhysics, TheHairpinIsSlowestAndTheSweeperPullsTheMostG) {
    const CornerPass& hairpin = firstPass("T1 hairpin");
    const CornerPass& sweeper = firstPass("T2 sweeper");
    for (const CornerPass& pass : exact->corners()) {
        EXPECT_GE(pass.apexSpeedMps, hairpin.apexSpeedMps - 0.01) << pass.name;
        if (pass.name == "T2 sweeper") {
            EXPECT_NEAR(pass.peakLateralG, sweeper.peakLateralG, 0.01);
        } else {
            EXPECT_LT(pass.peakLateralG, sweeper.peakLateralG - 0.05) << pass.name;
        }
        EXPECT_LE(pass.entrySeconds, pass.apexSeconds);
        EXPECT_LE(pass.apexSeconds, pass.exitSeconds);
        EXPECT_GE(pass.peakLateralSeconds, pass.entrySeconds);
        EXPECT_LE(pass.peakLateralSeconds, pass.exitSeconds);
    }
    EXPECT_LT(hairpin.apexSpeedMps, 15);
    EXPECT_GT(sweeper.peakLateralG, 1.25);
    EXPECT_GT(sweeper.apexSpeedMps, 40);
    // Peak lateral G agrees with the signal at its time.
    EXPECT_NEAR(std::abs(exact->stateAt(sweeper.peakLateralSeconds).lateralAccelerationMps2) / kG,
                sweeper.peakLateralG, 1e-9);
}

TEST_F(DrivePhysics, TheFirstMinuteShowsEveryKindOfCorner) {
    std::vector<std::string> names;
    for (const CornerPass& pass : exact->corners()) {
        if (pass.exitSeconds <= 60) {
            names.push_back(pass.name);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"T1 hairpin", "T2 sweeper", "T3", "T4 chicane"}));
}

TEST_F(DrivePhysics, PedalsNeverOverlapAndFullThrottleRunsAreFlat) {
    forEachSample([&](const DriveState& s) {
        EXPECT_TRUE(s.throttle == 0 || s.brake == 0) << s.seconds;
        EXPECT_GE(s.throttle, 0.0);
        EXPECT_LE(s.throttle, 1.0);
        EXPECT_GE(s.brake, 0.0);
        EXPECT_LE(s.brake, 1.0);
    });
    const auto& runs = exact->fullThrottleRuns();
    ASSERT_FALSE(runs.empty());
    // Leaving the pit lane, the car runs flat out down the main straight for about ten seconds.
    EXPECT_EQ(exact->segmentNameAt(runs.front().startSeconds + 1), "Main straight");
    EXPECT_GT(runs.front().durationSeconds(), 8);
    for (const FullThrottleRun& run : runs) {
        for (long k = std::lround(run.startSeconds * 100); k <= std::lround(run.endSeconds * 100);
             ++k) {
            EXPECT_EQ(exact->stateAt(k / 100.0).throttle, 1.0) << k;
        }
        EXPECT_LT(exact->stateAt(run.startSeconds - 0.01).throttle, 1.0);
        EXPECT_GT(run.endSpeedMps, run.startSpeedMps);
    }
}

TEST_F(DrivePhysics, BrakingZonesLeadIntoTheCorners) {
    for (const std::string name : {"T1 hairpin", "T3", "T4 chicane"}) {
        const CornerPass& pass = firstPass(name);
        const auto& zones = exact->brakingZones();
        const auto before = std::find_if(zones.begin(), zones.end(), [&](const BrakingZone& z) {
            return z.endSeconds <= pass.apexSeconds && z.endSeconds >= pass.entrySeconds - 1.5;
        });
        ASSERT_NE(before, zones.end()) << name;
        EXPECT_GT(before->startSpeedMps - before->endSpeedMps, 10) << name;
        EXPECT_GT(before->peakDecelerationG, 1.2) << name;
        EXPECT_GT(exact->stateAt((before->startSeconds + before->endSeconds) / 2).brake, 0.5);
    }
}

TEST_F(DrivePhysics, EngineSpeedFollowsRoadSpeedThroughTheGears) {
    forEachSample([&](const DriveState& s) {
        EXPECT_GE(s.gear, 1);
        EXPECT_LE(s.gear, vehicle.topGear());
        EXPECT_LE(s.engineRpm, vehicle.upshiftRpm + 100) << s.seconds;
        if (s.speedMps > 4) {  // above the clutch slip of pulling away in first
            EXPECT_NEAR(s.engineRpm, vehicle.engineRpmAt(s.speedMps, s.gear), 1.0) << s.seconds;
        }
    });
    // On every full-throttle run the gears only go up, and each change is an upshift near the
    // shift point.
    for (const FullThrottleRun& run : exact->fullThrottleRuns()) {
        int gear = exact->stateAt(run.startSeconds).gear;
        for (double t = run.startSeconds; t <= run.endSeconds; t += 0.005) {
            const DriveState s = exact->stateAt(t);
            EXPECT_GE(s.gear, gear) << t;
            gear = s.gear;
        }
    }
    for (const GearChange& change : exact->gearChanges()) {
        EXPECT_EQ(std::abs(change.toGear - change.fromGear), 1);
        const DriveState before = exact->stateAt(change.seconds - 0.01);
        EXPECT_EQ(before.gear, change.fromGear);
        EXPECT_EQ(exact->stateAt(change.seconds).gear, change.toGear);
        if (change.toGear > change.fromGear && before.throttle == 1.0) {
            EXPECT_GE(before.engineRpm, vehicle.upshiftRpm - 100) << change.seconds;
        }
    }
}

TEST_F(DrivePhysics, LapsFollowTheOutLap) {
    int lap = 0;
    forEachSample([&](const DriveState& s) {
        EXPECT_TRUE(s.lap == lap || s.lap == lap + 1) << s.seconds;
        lap = s.lap;
    });
    EXPECT_EQ(lap, 2);  // out-lap, lap 1, and into lap 2
    const auto& corners = exact->corners();
    const auto secondHairpin =
        std::find_if(corners.begin() + 1, corners.end(),
                     [](const CornerPass& c) { return c.name == "T1 hairpin"; });
    ASSERT_NE(secondHairpin, corners.end());
    EXPECT_EQ(secondHairpin->lap, 1);
    // A flying lap repeats the corner the same way.
    EXPECT_NEAR(secondHairpin->apexSpeedMps, corners.front().apexSpeedMps, 0.1);
}

TEST(DriveSimulation, SensorNoiseIsSmallAndFollowsTheSeed) {
    const DriveSimulation exact({.durationSeconds = 30, .noiseScale = 0});
    const DriveSimulation first({.durationSeconds = 30, .seed = 4});
    const DriveSimulation again({.durationSeconds = 30, .seed = 4});
    const DriveSimulation other({.durationSeconds = 30, .seed = 5});
    int differences = 0;
    for (double t = 0; t <= 30; t += 0.01) {
        const DriveState e = exact.stateAt(t);
        const DriveState a = first.stateAt(t);
        const DriveState b = again.stateAt(t);
        EXPECT_EQ(a.speedMps, b.speedMps);
        EXPECT_EQ(a.lateralAccelerationMps2, b.lateralAccelerationMps2);
        EXPECT_EQ(a.steeringAngleRadians, b.steeringAngleRadians);
        EXPECT_EQ(a.engineRpm, b.engineRpm);
        differences += a.lateralAccelerationMps2 != other.stateAt(t).lateralAccelerationMps2;
        EXPECT_NEAR(a.speedMps, e.speedMps, 0.05);
        EXPECT_NEAR(a.lateralAccelerationMps2, e.lateralAccelerationMps2, 0.31);
        EXPECT_NEAR(a.longitudinalAccelerationMps2, e.longitudinalAccelerationMps2, 0.16);
        EXPECT_NEAR(a.steeringAngleRadians, e.steeringAngleRadians, 0.015);
        EXPECT_NEAR(a.engineRpm, e.engineRpm, 13);
        EXPECT_EQ(a.gear, e.gear);
    }
    EXPECT_GT(differences, 2900);
    // The drive itself does not depend on the seed.
    EXPECT_EQ(first.fullThrottleRuns().size(), other.fullThrottleRuns().size());
    EXPECT_EQ(first.corners().front().apexSeconds, other.corners().front().apexSeconds);
}

TEST(DriveSimulation, TimesOutsideTheDriveAreClamped) {
    const DriveSimulation drive({.durationSeconds = 20});
    EXPECT_EQ(drive.stateAt(-5).seconds, 0.0);
    EXPECT_EQ(drive.stateAt(std::nan("")).seconds, 0.0);
    EXPECT_EQ(drive.stateAt(1e9).seconds, 20.0);
    EXPECT_EQ(drive.stateAt(1e9).speedMps, drive.stateAt(20).speedMps);
    EXPECT_DOUBLE_EQ(drive.stateAt(12.345).seconds, 12.345);
    EXPECT_EQ(drive.durationSeconds(), 20);
    for (const CornerPass& pass : drive.corners()) {
        EXPECT_LE(pass.exitSeconds, 20);
    }
    for (const GearChange& change : drive.gearChanges()) {
        EXPECT_LE(change.seconds, 20);
    }
}

TEST(DriveSimulation, RejectsDurationsItCannotSimulate) {
    for (const double seconds : {0.0, -1.0, std::nan(""), HUGE_VAL, 4 * 3600 + 1.0}) {
        EXPECT_THROW(DriveSimulation({.durationSeconds = seconds}), std::invalid_argument)
            << seconds;
    }
    EXPECT_THROW(DriveSimulation({.durationSeconds = 10, .noiseScale = -1}), std::invalid_argument);
    EXPECT_NO_THROW(DriveSimulation({.durationSeconds = 0.01}));
}

}  // namespace
}  // namespace skelder::samples
