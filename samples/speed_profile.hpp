#pragma once

#include <vector>

#include "samples/track.hpp"
#include "samples/vehicle.hpp"

namespace skelder::samples {

// A track segment placed on the driven path.
struct PathPiece {
    TrackSegment segment;
    int lap = 0;
    double startMetres = 0;
    double endMetres() const { return startMetres + segment.lengthMetres; }
};

// The driving line as a sequence of pieces, sampled every kStepMetres.
struct DrivenPath {
    static constexpr double kStepMetres = 0.5;

    std::vector<PathPiece> pieces;
    // Per node i at distance i * kStepMetres: signed curvature (1/m), eased in and out of corners
    // the way a driver turns in progressively.
    std::vector<double> curvature;

    double lengthMetres() const { return pieces.empty() ? 0 : pieces.back().endMetres(); }
    // Index of the piece holding a distance (the last piece past the end).
    std::size_t pieceAt(double metres) const;
    // Curvature interpolated between nodes.
    double curvatureAt(double metres) const;
};

// The out-lap followed by as many flying laps as it takes to reach `minimumLengthMetres`.
DrivenPath buildDrivenPath(double minimumLengthMetres,
                           SampleCircuit circuit = SampleCircuit::national);

// The share of the car's grip the driver uses through the corners of a lap: all of it on the
// first flying lap, a little less (down to 95 %) on some later ones, so laps differ by a few
// tenths as a driver's do. The same for every drive.
double lapPace(int lap);

// The fastest speed at every node of the path from a standing start: the lower of the forward
// pass (power, traction, pit limiter) and the backward pass (braking), both inside the friction
// ellipse.
std::vector<double> speedProfile(const DrivenPath& path, const VehicleModel& vehicle);

}  // namespace skelder::samples
