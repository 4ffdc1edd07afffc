#include "tests/support/circuit_drive.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "kovra_writer/kovra_writer.hpp"
#include "kovra_writer/mp4_merge.hpp"

namespace skelder::testing {

namespace {

constexpr double kStep = 0.01;  // the model runs at 100 Hz
constexpr double kGravity = 9.80665;
constexpr double kTopSpeed = 75;
constexpr double kLookAheadMetres = 320;

CircuitPiece arc(double radius, double degrees, bool right) {
    return {radius * degrees * std::numbers::pi / 180, (right ? 1.0 : -1.0) / radius};
}
CircuitPiece straight(double length) {
    return {length, 0};
}

struct Corner {
    double x = 0;
    double y = 0;
    double radius = 0;
};

// A closed circuit from the corners of a polygon, each rounded with its radius: arcs joined by
// the straights between their tangent points. Starts after the first corner.
Circuit roundedPolygon(const std::vector<Corner>& corners) {
    const std::size_t n = corners.size();
    std::vector<double> turn(n);
    std::vector<double> tangent(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Corner& previous = corners[(i + n - 1) % n];
        const Corner& here = corners[i];
        const Corner& next = corners[(i + 1) % n];
        const double inX = here.x - previous.x;
        const double inY = here.y - previous.y;
        const double outX = next.x - here.x;
        const double outY = next.y - here.y;
        turn[i] = std::atan2(inX * outY - inY * outX, inX * outX + inY * outY);  // left positive
        tangent[i] = here.radius * std::tan(std::abs(turn[i]) / 2);
    }
    Circuit circuit;
    for (std::size_t i = 0; i < n; ++i) {
        const Corner& here = corners[i];
        const Corner& next = corners[(i + 1) % n];
        const double side = std::hypot(next.x - here.x, next.y - here.y);
        circuit.pieces.push_back(straight(side - tangent[i] - tangent[(i + 1) % n]));
        const Corner& nextCorner = corners[(i + 1) % n];
        const double angle = turn[(i + 1) % n];
        circuit.pieces.push_back(
            arc(nextCorner.radius, std::abs(angle) * 180 / std::numbers::pi, angle < 0));
    }
    return circuit;
}

// Centre line curvature a metre apart, eased over 15 m into and out of every corner; wraps
// round a circuit.
std::vector<double> curvatureByMetre(const Circuit& circuit, bool wraps) {
    std::vector<double> raw;
    double pieceEnd = 0;
    for (const CircuitPiece& piece : circuit.pieces) {
        pieceEnd += piece.lengthMetres;
        while (static_cast<double>(raw.size()) + 0.5 < pieceEnd)
            raw.push_back(piece.curvaturePerMetre);
    }
    const auto n = static_cast<std::ptrdiff_t>(raw.size());
    std::vector<double> eased(raw.size());
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        double sum = 0;
        for (std::ptrdiff_t k = -7; k <= 7; ++k) {
            std::ptrdiff_t j = i + k;
            j = wraps ? (j % n + n) % n : std::clamp<std::ptrdiff_t>(j, 0, n - 1);
            sum += raw[static_cast<std::size_t>(j)];
        }
        eased[static_cast<std::size_t>(i)] = sum / 15;
    }
    return eased;
}

}  // namespace

double Circuit::lengthMetres() const {
    double length = 0;
    for (const CircuitPiece& piece : pieces)
        length += piece.lengthMetres;
    return std::round(length);
}

Circuit grandPrixCircuit() {
    return roundedPolygon({{0, 0, 30},
                           {1000, 0, 45},
                           {1050, 380, 25},
                           {700, 300, 90},
                           {500, 520, 20},
                           {250, 430, 60},
                           {120, 600, 35},
                           {-150, 380, 70}});
}

Circuit clubCircuit() {
    return roundedPolygon(
        {{0, 0, 18}, {-380, 0, 30}, {-380, 190, 40}, {-200, 110, 25}, {-40, 230, 22}});
}

Circuit nearlySymmetricOval() {
    return roundedPolygon({{0, 0, 150}, {760, 0, 150}, {760, 300, 140}, {0, 292, 140}});
}

Circuit longCircuit() {
    return roundedPolygon({{0, 0, 40},
                           {1700, 0, 35},
                           {1900, 500, 250},
                           {1400, 900, 60},
                           {1000, 700, 150},
                           {600, 1000, 45},
                           {200, 800, 90},
                           {-100, 400, 300}});
}

Circuit road() {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    Circuit route;
    double length = 0;
    while (length < 12000) {
        const double radius = 30 + 300 * unit(random);
        const double degrees = 20 + 100 * unit(random);
        route.pieces.push_back(straight(50 + 400 * unit(random)));
        route.pieces.push_back(arc(radius, degrees, unit(random) < 0.5));
        length +=
            route.pieces[route.pieces.size() - 2].lengthMetres + route.pieces.back().lengthMetres;
    }
    return route;
}

CircuitDrive::CircuitDrive(Circuit circuit, DriveOptions options) : circuit_(std::move(circuit)) {
    const std::vector<double> bends = curvatureByMetre(circuit_, !options.openRoad);
    const double lap = static_cast<double>(bends.size());
    const auto bendAt = [&](double metres) {
        if (options.openRoad)
            return bends[static_cast<std::size_t>(std::clamp(metres, 0.0, lap - 1))];
        const double wrapped = std::fmod(std::fmod(metres, lap) + lap, lap);
        return bends[std::min(static_cast<std::size_t>(wrapped), bends.size() - 1)];
    };
    std::mt19937_64 random(options.seed);
    std::normal_distribution<double> normal(0, 1);

    // The driver: a pace and a line for every lap of the circuit's description.
    const int laps = options.flyingLaps + 3;
    std::vector<double> pace(static_cast<std::size_t>(laps));
    std::vector<double> lineScale(pace.size());
    std::vector<double> linePhase(pace.size());
    for (std::size_t k = 0; k < pace.size(); ++k) {
        pace[k] = options.pace * (1 - options.paceSpreadPerLap * std::abs(normal(random)));
        lineScale[k] = options.lineSpread * normal(random);
        linePhase[k] = 2 * std::numbers::pi * std::abs(normal(random));
    }
    const double firstLine =
        options.openRoad ? lap : std::ceil(options.startMetres / lap + 1e-9) * lap;
    const double lastLine = firstLine + options.flyingLaps * lap;
    const double stopMetres = options.inLap ? lastLine + 0.8 * lap : lastLine + 150;
    const auto lapOf = [&](double metres) {
        return std::clamp<std::size_t>(static_cast<std::size_t>(std::max(0.0, metres / lap)), 0,
                                       pace.size() - 1);
    };
    // Driven metres per metre of centre line: the driver's line wanders across the track.
    const auto lineFactor = [&](double metres) {
        const std::size_t k = lapOf(metres);
        return 1 + 0.3 * lineScale[k] +
               lineScale[k] * std::sin(2 * std::numbers::pi * metres / 430 + linePhase[k]);
    };
    const auto paceAt = [&](double metres) {
        return metres > lastLine ? 0.55 * options.pace : pace[lapOf(metres)];
    };

    double metres = options.startMetres;
    double speed = 0;
    double seconds = 0;
    double eventUntil = -1;
    double eventStart = -1;
    bool spinning = false;
    while (true) {
        const double grip = 12 * paceAt(metres);
        const double braking = 11 * paceAt(metres);
        double target = kTopSpeed;
        for (double ahead = 0; ahead <= kLookAheadMetres; ahead += 2) {
            const double bend = std::abs(bendAt(metres + ahead));
            const double limit = bend > 1e-6 ? std::sqrt(grip / bend) : kTopSpeed;
            target = std::min(target, std::sqrt(limit * limit + 2 * braking * ahead));
        }
        if (metres - options.startMetres < 150) {
            target = std::min(target, 16.0);  // the pit lane's limit
        }
        if (metres >= stopMetres - 1 || (options.openRoad && metres >= lap - 5)) {
            target = 0;
        } else {
            const double toStop = (options.openRoad ? lap - 5 : stopMetres) - metres;
            target = std::min(target, std::sqrt(2 * 3 * std::max(0.0, toStop)));
        }
        const auto startEvent = [&](const std::optional<double>& at, double holdSeconds) {
            if (at && eventStart < 0 && seconds >= *at) {
                eventStart = seconds;
                eventUntil = seconds + holdSeconds;
                return true;
            }
            return false;
        };
        if (startEvent(options.spinAtSeconds, 5))
            spinning = true;
        startEvent(options.stopAtSeconds, 22);
        if (seconds < eventUntil)
            target = 0;
        double acceleration = 0;
        double throttle = 0;
        const double drive = 7 * (1 - speed / 80);
        if (speed < target) {
            acceleration = std::min(drive, (target - speed) / kStep);
            throttle = acceleration >= 0.95 * drive ? 1.0 : 0.35;
        } else {
            const double hardest = (seconds < eventUntil && spinning) ? 9.0 : braking;
            acceleration = -std::min(hardest, (speed - target) / kStep);
        }
        speed = std::max(0.0, speed + acceleration * kStep);
        const double factor = lineFactor(metres);
        metres += speed * kStep / factor;
        double lateral = speed * speed * bendAt(metres) / factor;
        if (spinning && seconds < eventStart + 2)
            lateral = 8 * std::sin(2 * std::numbers::pi * 1.3 * (seconds - eventStart));
        seconds_.push_back(seconds);
        circuitMetres_.push_back(metres);
        readings_.push_back(
            {speed, lateral + options.lateralOffsetMps2 + options.noiseMps2 * normal(random),
             throttle});
        seconds += kStep;
        if (speed == 0 && target == 0 && seconds > eventUntil + 10 &&
            (metres >= stopMetres - 2 || (options.openRoad && metres >= lap - 6))) {
            break;
        }
    }

    // The recorder: speed every 0.1 s, the rest at 100 Hz; a decisecond keeps its last value.
    std::vector<OverlayTelemetrySample> samples;
    for (std::size_t i = 0; i + 10 <= seconds_.size(); i += 10) {
        samples.push_back({.speedMps = std::max(0.0, readings_[i].speedMps + 0.05 * normal(random)),
                           .throttle = readings_[i + 9].throttle,
                           .gear = 3,
                           .latG = readings_[i + 9].lateralMps2 / kGravity});
    }
    grid_ = DecisecondGrid(0, std::move(samples));
}

double CircuitDrive::circuitMetresAt(double seconds) const {
    const double index = std::clamp(seconds / kStep, 0.0, static_cast<double>(seconds_.size() - 1));
    const auto i = std::min(static_cast<std::size_t>(index), seconds_.size() - 2);
    const double u = index - static_cast<double>(i);
    return circuitMetres_[i] + u * (circuitMetres_[i + 1] - circuitMetres_[i]);
}

double CircuitDrive::secondsAtCircuitMetres(double metres) const {
    const auto upper = std::lower_bound(circuitMetres_.begin(), circuitMetres_.end(), metres);
    if (upper == circuitMetres_.begin())
        return 0;
    if (upper == circuitMetres_.end())
        return seconds_.back();
    const auto i = static_cast<std::size_t>(upper - circuitMetres_.begin()) - 1;
    const double span = circuitMetres_[i + 1] - circuitMetres_[i];
    return seconds_[i] + (span > 0 ? (metres - circuitMetres_[i]) / span : 0) * kStep;
}

CircuitDrive::Readings CircuitDrive::readingsAt(double seconds) const {
    const double index = std::clamp(std::floor(seconds / kStep + 1e-6), 0.0,
                                    static_cast<double>(readings_.size() - 1));
    return readings_[static_cast<std::size_t>(index)];
}

void writeCircuitRecording(const std::filesystem::path& path, const CircuitDrive& drive,
                           const std::optional<std::filesystem::path>& cameraVideo) {
    kovra::RecordingOptions options;
    options.durationSeconds = std::floor(drive.endSeconds());
    options.valueAt = [&drive](const kovra::ChannelDefinition& channel, double seconds) {
        const CircuitDrive::Readings readings = drive.readingsAt(seconds);
        if (channel.id == kovra::kSpeedChannel)
            return readings.speedMps;
        if (channel.id == kovra::kLateralAccelChannel)
            return readings.lateralMps2;
        if (channel.id == kovra::kThrottleChannel)
            return readings.throttle;
        if (channel.id == kovra::kGearChannel)
            return 3.0;
        return 0.0;
    };
    if (cameraVideo) {
        kovra::appendTelemetryTrack(*cameraVideo, path, options);
    } else {
        kovra::writeRecording(path, options);
    }
}

double CircuitDrive::endSeconds() const {
    return seconds_.back();
}

std::vector<std::pair<double, double>> CircuitDrive::outline() const {
    std::vector<std::pair<double, double>> points{{0, 0}};
    double heading = 0;
    for (const CircuitPiece& piece : circuit_.pieces) {
        for (double done = 0; done < piece.lengthMetres; done += 1) {
            const double step = std::min(1.0, piece.lengthMetres - done);
            const double middle = heading - 0.5 * piece.curvaturePerMetre * step;
            points.emplace_back(points.back().first + step * std::cos(middle),
                                points.back().second + step * std::sin(middle));
            heading -= piece.curvaturePerMetre * step;
        }
    }
    return points;
}

}  // namespace skelder::testing
