#include "samples/speed_profile.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace skelder::samples {

namespace {

// Curvature changes over this distance at corner entries and exits.
constexpr double kTransitionMetres = 12;
// Share of the grip a driver plans corner speeds with; the rest absorbs the smoothing of inputs.
constexpr double kPlannedGripShare = 0.985;

// Share of the tyre's grip still available along the car once `lateral` of `grip` is used
// sideways (the friction ellipse).
double remainingGripShare(double lateral, double grip) {
    const double used = std::min(1.0, std::abs(lateral) / grip);
    return std::sqrt(std::max(0.0, 1.0 - used * used));
}

// Highest speed at which the car holds a curvature.
double cornerSpeedLimit(double curvature, const VehicleModel& vehicle) {
    const double excess =
        std::abs(curvature) - kPlannedGripShare * vehicle.downforceGripPerSpeedSquared;
    if (excess <= 0) {
        return std::numeric_limits<double>::infinity();
    }
    return std::sqrt(kPlannedGripShare * vehicle.lateralGripMps2 / excess);
}

std::vector<double> movingAverage(const std::vector<double>& values, std::size_t halfWidth) {
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        prefix[i + 1] = prefix[i] + values[i];
    }
    std::vector<double> averaged(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t first = i >= halfWidth ? i - halfWidth : 0;
        const std::size_t last = std::min(values.size() - 1, i + halfWidth);
        averaged[i] = (prefix[last + 1] - prefix[first]) / static_cast<double>(last + 1 - first);
    }
    return averaged;
}

}  // namespace

std::size_t DrivenPath::pieceAt(double metres) const {
    const auto after =
        std::upper_bound(pieces.begin(), pieces.end(), metres,
                         [](double m, const PathPiece& piece) { return m < piece.startMetres; });
    const auto index = static_cast<std::size_t>(
        std::max<std::ptrdiff_t>(0, std::distance(pieces.begin(), after) - 1));
    return std::min(index, pieces.size() - 1);
}

double DrivenPath::curvatureAt(double metres) const {
    const double position =
        std::clamp(metres / kStepMetres, 0.0, static_cast<double>(curvature.size() - 1));
    const auto node = static_cast<std::size_t>(position);
    if (node + 1 >= curvature.size()) {
        return curvature.back();
    }
    const double fraction = position - static_cast<double>(node);
    return curvature[node] + (curvature[node + 1] - curvature[node]) * fraction;
}

double lapPace(int lap) {
    if (lap <= 1) {
        return 1.0;
    }
    const double spread = std::fmod(static_cast<double>(lap - 1) * 0.6180339887498949, 1.0);
    return 1.0 - 0.05 * spread;
}

DrivenPath buildDrivenPath(double minimumLengthMetres, SampleCircuit circuit) {
    DrivenPath path;
    double position = 0;
    const auto append = [&](const std::vector<TrackSegment>& segments, int lap) {
        for (const TrackSegment& segment : segments) {
            path.pieces.push_back({segment, lap, position});
            position += segment.lengthMetres;
        }
    };
    append(sampleCircuitOutLap(circuit), 0);
    const std::vector<TrackSegment> lap = sampleCircuitLap(circuit);
    for (int number = 1; position < minimumLengthMetres; ++number) {
        append(lap, number);
    }

    const auto nodes = static_cast<std::size_t>(position / DrivenPath::kStepMetres) + 1;
    std::vector<double> sharp(nodes);
    std::size_t piece = 0;
    for (std::size_t i = 0; i < nodes; ++i) {
        const double metres = static_cast<double>(i) * DrivenPath::kStepMetres;
        while (piece + 1 < path.pieces.size() && metres >= path.pieces[piece + 1].startMetres) {
            ++piece;
        }
        sharp[i] = path.pieces[piece].segment.signedCurvature();
    }
    const auto halfWidth =
        static_cast<std::size_t>(kTransitionMetres / 2 / DrivenPath::kStepMetres);
    path.curvature = movingAverage(sharp, halfWidth);
    return path;
}

std::vector<double> speedProfile(const DrivenPath& path, const VehicleModel& vehicle) {
    const std::size_t nodes = path.curvature.size();
    const double step = DrivenPath::kStepMetres;
    const double mass = vehicle.massKg;

    std::vector<double> limit(nodes);
    std::vector<double> accelerationLimit(nodes);
    std::size_t piece = 0;
    for (std::size_t i = 0; i < nodes; ++i) {
        const double metres = static_cast<double>(i) * step;
        while (piece + 1 < path.pieces.size() && metres >= path.pieces[piece + 1].startMetres) {
            ++piece;
        }
        const TrackSegment& segment = path.pieces[piece].segment;
        const double pace = std::sqrt(lapPace(path.pieces[piece].lap));
        limit[i] =
            std::min(segment.speedLimitMps, pace * cornerSpeedLimit(path.curvature[i], vehicle));
        accelerationLimit[i] = segment.accelerationLimitMps2;
    }

    std::vector<double> speed(nodes);
    speed[0] = 0;
    for (std::size_t i = 0; i + 1 < nodes; ++i) {
        const double v = speed[i];
        const double lateral = v * v * path.curvature[i];
        const double traction =
            vehicle.tractionLimitMps2 * remainingGripShare(lateral, vehicle.lateralGripAt(v));
        const double power = vehicle.peakPowerWatts / (mass * std::max(v, 1.0));
        const double drive =
            std::min({traction, power, accelerationLimit[i]}) - vehicle.resistanceNewtons(v) / mass;
        const double next = std::sqrt(std::max(0.0, v * v + 2 * drive * step));
        speed[i + 1] = std::min(next, limit[i + 1]);
    }
    for (std::size_t i = nodes - 1; i-- > 0;) {
        const double v = speed[i + 1];
        const double lateral = v * v * path.curvature[i + 1];
        const double braking =
            vehicle.brakingGripAt(v) * remainingGripShare(lateral, vehicle.lateralGripAt(v)) +
            vehicle.resistanceNewtons(v) / mass;
        speed[i] = std::min(speed[i], std::sqrt(v * v + 2 * braking * step));
    }
    return speed;
}

}  // namespace skelder::samples
