#pragma once

// An independent model of a car lapping a circuit, for the lap analysis' tests: its own circuit
// description, speed limits and driver, separate from the sample writer's simulation. It writes
// the decisecond grid the recorder's track would give (speed at 10 Hz, the other channels at
// 100 Hz, the last value of each decisecond kept) and knows where the car was at every moment.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "telemetry/decisecond_grid.hpp"

namespace skelder::testing {

// A piece of the circuit's centre line: a straight (curvature 0) or an arc, positive to the right.
struct CircuitPiece {
    double lengthMetres = 0;
    double curvaturePerMetre = 0;
};

struct Circuit {
    std::vector<CircuitPiece> pieces;
    double lengthMetres() const;
};

// A 3.1 km circuit with eight corners of every kind, clockwise.
Circuit grandPrixCircuit();
// A 1.2 km club circuit, anticlockwise.
Circuit clubCircuit();
// A 2.2 km oval whose two halves differ by a few metres and a few percent of radius.
Circuit nearlySymmetricOval();
// A 5.6 km circuit with a long straight and fast sweepers.
Circuit longCircuit();
// 12 km of road that never comes back on itself.
Circuit road();

struct DriveOptions {
    double startMetres = 0;          // where the car leaves the pit lane onto the circuit
    int flyingLaps = 4;              // laps at pace after the out-lap
    bool inLap = true;               // then a slow lap and a stop part-way round
    double pace = 1.0;               // share of the car's grip used
    double paceSpreadPerLap = 0.04;  // lap-to-lap variation of the pace
    double lineSpread = 0.004;       // lap-to-lap variation of the driven distance
    double lateralOffsetMps2 = 0;    // a recorder mounted tilted
    double noiseMps2 = 0.25;
    std::optional<double> spinAtSeconds = {};  // the car spins and stops, then drives on
    std::optional<double> stopAtSeconds = {};  // the car stops for 20 s, then drives on
    std::uint64_t seed = 7;
    bool openRoad = false;  // drive the pieces once, no laps
};

class CircuitDrive {
  public:
    CircuitDrive(Circuit circuit, DriveOptions options);

    const DecisecondGrid& grid() const { return grid_; }
    double circuitLengthMetres() const { return circuit_.lengthMetres(); }
    // Metres along the centre line driven since the start line of the circuit's description,
    // counted on across laps, at a telemetry time.
    double circuitMetresAt(double seconds) const;
    // The first moment the car reaches a point of the centre line (counted on across laps).
    double secondsAtCircuitMetres(double metres) const;
    double endSeconds() const;
    // The centre line's outline, a point a metre.
    std::vector<std::pair<double, double>> outline() const;

    // What the sensors read at a moment (the model's last step before it).
    struct Readings {
        double speedMps = 0;
        double lateralMps2 = 0;
        double throttle = 0;
    };
    Readings readingsAt(double seconds) const;

  private:
    Circuit circuit_;
    std::vector<double> seconds_;
    std::vector<double> circuitMetres_;
    std::vector<Readings> readings_;
    DecisecondGrid grid_;
};

// A recording of the drive with the recorder's telemetry track only (no picture, no sound), or
// added to a camera's video.
void writeCircuitRecording(const std::filesystem::path& path, const CircuitDrive& drive,
                           const std::optional<std::filesystem::path>& cameraVideo = {});

}  // namespace skelder::testing
