#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skelder::samples {

enum class TurnDirection { left, right };

// One piece of the driving line: a straight, or a circular arc when radiusMetres > 0. Pit lane
// pieces carry the limiter speed and the gentle acceleration a driver uses there.
struct TrackSegment {
    std::string name;
    double lengthMetres = 0;
    double radiusMetres = 0;
    TurnDirection direction = TurnDirection::left;
    double speedLimitMps = std::numeric_limits<double>::infinity();
    double accelerationLimitMps2 = std::numeric_limits<double>::infinity();

    bool isCorner() const { return radiusMetres > 0; }
    // 1/radius, positive for right-hand corners, 0 on straights.
    double signedCurvature() const;
    // Heading change in radians, positive to the right.
    double turnRadians() const { return signedCurvature() * lengthMetres; }
};

// The circuits a sample drives. national (2.5 km, anticlockwise), from the start/finish line on
// the main straight: an 850 m main straight, a 14 m hairpin, a 180 m fast sweeper, a medium
// corner, a slow chicane section and a corner back onto the main straight. club (1.4 km,
// anticlockwise): a 450 m main straight, a tight first corner, two medium corners with a back
// straight between them and a slow last corner. Each lap closes on itself.
enum class SampleCircuit { national, club };

// One lap from the start/finish line.
std::vector<TrackSegment> sampleCircuitLap(SampleCircuit circuit = SampleCircuit::national);

// The drive from the pit box: the pit lane (60 km/h limit), then the main straight from the pit
// exit on, then the rest of the first lap.
std::vector<TrackSegment> sampleCircuitOutLap(SampleCircuit circuit = SampleCircuit::national);

// "national" or "club", and the circuit of such a name.
std::string_view sampleCircuitName(SampleCircuit circuit);
std::optional<SampleCircuit> sampleCircuitNamed(std::string_view name);

inline constexpr double kPitLaneSpeedLimitMps = 60.0 / 3.6;

}  // namespace skelder::samples
