#include "samples/track.hpp"

#include <numbers>

namespace skelder::samples {

namespace {

constexpr double kMainStraightMetres = 850;
constexpr double kPitExitOnMainStraightMetres = 300;

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

}  // namespace

double TrackSegment::signedCurvature() const {
    if (!isCorner()) {
        return 0;
    }
    return (direction == TurnDirection::right ? 1.0 : -1.0) / radiusMetres;
}

std::vector<TrackSegment> sampleCircuitLap() {
    std::vector<TrackSegment> lap{straight("Main straight", kMainStraightMetres)};
    for (TrackSegment& segment : lapAfterMainStraight()) {
        lap.push_back(std::move(segment));
    }
    return lap;
}

std::vector<TrackSegment> sampleCircuitOutLap() {
    TrackSegment pitLane = straight("Pit lane", 120);
    // Drivers set the limiter a little under the pit lane limit.
    pitLane.speedLimitMps = kPitLaneSpeedLimitMps * 58.0 / 60.0;
    pitLane.accelerationLimitMps2 = 3.0;
    std::vector<TrackSegment> lap{
        pitLane, straight("Main straight", kMainStraightMetres - kPitExitOnMainStraightMetres)};
    for (TrackSegment& segment : lapAfterMainStraight()) {
        lap.push_back(std::move(segment));
    }
    return lap;
}

}  // namespace skelder::samples
