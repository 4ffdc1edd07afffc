#include "samples/track.hpp"

#include <numbers>

namespace skelder::samples {

namespace {

constexpr double kMainStraightMetres = 850;
constexpr double kPitExitOnMainStraightMetres = 300;
constexpr double kClubMainStraightMetres = 450;
constexpr double kClubPitExitOnMainStraightMetres = 250;

TrackSegment straight(std::string name, double length) {
    return {.name = std::move(name), .lengthMetres = length};
}

TrackSegment corner(std::string name, double radius, double degrees, TurnDirection direction) {
    return {.name = std::move(name),
            .lengthMetres = radius * degrees * std::numbers::pi / 180.0,
            .radiusMetres = radius,
            .direction = direction};
}

// The lap after the main straight. The straight lengths were chosen so the lap closes.
std::vector<TrackSegment> lapAfterMainStraight() {
    using enum TurnDirection;
    return {
        corner("T1 hairpin", 14, 180, left),
        straight("Back straight", 240),
        corner("T2 sweeper", 180, 90, right),
        straight("Short straight", 150),
        corner("T3", 60, 90, left),
        straight("Park straight", 300),
        corner("T4 chicane", 25, 90, left),
        straight("Chicane link", 60),
        corner("T5 chicane", 25, 90, right),
        straight("Infield link", 60),
        corner("T6", 30, 90, left),
        straight("Return straight", 208),
        corner("T7 last corner", 70, 90, left),
    };
}

// The club circuit after its main straight: four left-hand quarters joined by straights whose
// lengths close the lap.
std::vector<TrackSegment> clubLapAfterMainStraight() {
    using enum TurnDirection;
    return {
        corner("T1", 20, 90, left),
        straight("Short straight", 150),
        corner("T2", 60, 90, left),
        straight("Back straight", 360),
        corner("T3", 80, 90, left),
        straight("Return straight", 120),
        corner("T4 last corner", 30, 90, left),
    };
}

std::vector<TrackSegment> lapAfterMainStraight(SampleCircuit circuit) {
    return circuit == SampleCircuit::club ? clubLapAfterMainStraight() : lapAfterMainStraight();
}

double mainStraightMetres(SampleCircuit circuit) {
    return circuit == SampleCircuit::club ? kClubMainStraightMetres : kMainStraightMetres;
}

double pitExitOnMainStraightMetres(SampleCircuit circuit) {
    return circuit == SampleCircuit::club ? kClubPitExitOnMainStraightMetres
                                          : kPitExitOnMainStraightMetres;
}

}  // namespace

double TrackSegment::signedCurvature() const {
    if (!isCorner()) {
        return 0;
    }
    return (direction == TurnDirection::right ? 1.0 : -1.0) / radiusMetres;
}

std::vector<TrackSegment> sampleCircuitLap(SampleCircuit circuit) {
    std::vector<TrackSegment> lap{straight("Main straight", mainStraightMetres(circuit))};
    for (TrackSegment& segment : lapAfterMainStraight(circuit)) {
        lap.push_back(std::move(segment));
    }
    return lap;
}

std::string_view sampleCircuitName(SampleCircuit circuit) {
    return circuit == SampleCircuit::club ? "club" : "national";
}

std::optional<SampleCircuit> sampleCircuitNamed(std::string_view name) {
    if (name == "national")
        return SampleCircuit::national;
    if (name == "club")
        return SampleCircuit::club;
    return std::nullopt;
}

std::vector<TrackSegment> sampleCircuitOutLap(SampleCircuit circuit) {
    TrackSegment pitLane = straight("Pit lane", 120);
    // Drivers set the limiter a little under the pit lane limit.
    pitLane.speedLimitMps = kPitLaneSpeedLimitMps * 58.0 / 60.0;
    pitLane.accelerationLimitMps2 = 3.0;
    std::vector<TrackSegment> lap{
        pitLane, straight("Main straight",
                          mainStraightMetres(circuit) - pitExitOnMainStraightMetres(circuit))};
    for (TrackSegment& segment : lapAfterMainStraight(circuit)) {
        lap.push_back(std::move(segment));
    }
    return lap;
}

}  // namespace skelder::samples
