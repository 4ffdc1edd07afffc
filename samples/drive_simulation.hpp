#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "samples/track.hpp"
#include "samples/vehicle.hpp"

namespace skelder::samples {

struct DriveSimulationOptions {
    double durationSeconds = 60;
    // Chooses the sensor noise; the drive itself is the same for every seed.
    std::uint64_t seed = 1;
    // The car stands in the pit box with the engine idling about this long before pulling away.
    double pitStopSeconds = 2;
    // Multiplies the sensor noise; 0 gives the exact physics.
    double noiseScale = 1;
    SampleCircuit circuit = SampleCircuit::national;
    VehicleModel vehicle = {};
};

// Everything the car's sensors report at one instant. Lateral quantities are positive to the
// driver's right (a right-hand corner gives positive curvature, lateral acceleration and steering
// angle); longitudinal acceleration is positive forwards.
struct DriveState {
    double seconds = 0;
    double distanceMetres = 0;  // driven since leaving the pit box
    int lap = 0;                // 0 is the out-lap from the pit lane
    double speedMps = 0;
    double throttle = 0;  // pedal fraction 0..1
    double brake = 0;     // pedal fraction 0..1
    double engineRpm = 0;
    int gear = 1;
    double curvaturePerMetre = 0;
    double lateralAccelerationMps2 = 0;
    double longitudinalAccelerationMps2 = 0;
    double steeringAngleRadians = 0;  // steering wheel

    double engineRadiansPerSecond() const;
};

// One pass through a corner, from the noise-free signals.
struct CornerPass {
    std::string name;
    int lap = 0;
    TurnDirection direction = TurnDirection::left;
    double radiusMetres = 0;
    double entrySeconds = 0;
    double apexSeconds = 0;  // slowest point of the corner
    double exitSeconds = 0;
    double apexSpeedMps = 0;
    double peakLateralG = 0;  // largest absolute lateral acceleration in the corner, in g
    double peakLateralSeconds = 0;
};

// A stretch with the throttle pedal flat on the floor (throttle exactly 1).
struct FullThrottleRun {
    double startSeconds = 0;
    double endSeconds = 0;
    double startSpeedMps = 0;
    double endSpeedMps = 0;
    double durationSeconds() const { return endSeconds - startSeconds; }
};

// A stretch on the brake pedal while moving.
struct BrakingZone {
    double startSeconds = 0;
    double endSeconds = 0;
    double startSpeedMps = 0;
    double endSpeedMps = 0;
    double peakDecelerationG = 0;
};

struct GearChange {
    double seconds = 0;
    int fromGear = 0;
    int toGear = 0;
};

// A quasi-steady-state lap-time simulation of the sample car leaving the pit lane and lapping the
// sample circuit: corner speeds from the grip limit, acceleration limited by power and traction,
// braking points from a backward pass, all within the friction ellipse. The result is sampled at
// 100 Hz with pedal, engine, gear and steering signals and small reproducible sensor noise.
// Events are found in the noise-free signals and cover [0, durationSeconds].
class DriveSimulation {
  public:
    static constexpr double kSampleRateHz = 100;

    // Throws std::invalid_argument unless the duration is finite, positive and at most 4 hours.
    explicit DriveSimulation(DriveSimulationOptions options = {});

    // The signals at a time, interpolated between the 100 Hz samples; gear and lap, and the engine
    // speed across a gear change, hold their value until the next sample. A time within rounding
    // of a sample gives that sample. Times outside [0, durationSeconds] are clamped.
    DriveState stateAt(double seconds) const;
    // Name of the track segment the car is on ("Pit lane", "T1 hairpin", "Main straight", ...).
    const std::string& segmentNameAt(double seconds) const;

    double durationSeconds() const { return options_.durationSeconds; }
    const DriveSimulationOptions& options() const { return options_; }
    const std::vector<CornerPass>& corners() const { return corners_; }
    const std::vector<FullThrottleRun>& fullThrottleRuns() const { return fullThrottleRuns_; }
    const std::vector<BrakingZone>& brakingZones() const { return brakingZones_; }
    const std::vector<GearChange>& gearChanges() const { return gearChanges_; }

  private:
    DriveSimulationOptions options_;
    std::vector<DriveState> samples_;
    std::vector<int> segmentOfSample_;
    std::vector<std::string> segmentNames_;
    std::vector<CornerPass> corners_;
    std::vector<FullThrottleRun> fullThrottleRuns_;
    std::vector<BrakingZone> brakingZones_;
    std::vector<GearChange> gearChanges_;
};

}  // namespace skelder::samples
