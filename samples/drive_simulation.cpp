#include "samples/drive_simulation.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "samples/drive_events.hpp"
#include "samples/seeded_noise.hpp"
#include "samples/speed_profile.hpp"

namespace skelder::samples {

namespace {

constexpr double kSamplePeriod = 1.0 / DriveSimulation::kSampleRateHz;
constexpr double kLongestDriveSeconds = 4 * 3600;
// Above the car's average speed round the circuit: a first guess at the path a drive needs.
constexpr double kAverageSpeedBoundMps = 45;
// Pedal inputs and the car's response are not instantaneous: the speed trace is smoothed with a
// Gaussian of this width before anything is derived from it.
constexpr double kResponseSeconds = 0.1;
constexpr double kHoldingBrake = 0.3;
constexpr double kFlatThrottle = 0.97;  // drivers keep their foot flat from here on
constexpr double kMinimumShiftIntervalSeconds = 0.3;

// Noise streams, one per signal.
enum NoiseStream : std::uint64_t {
    speedNoise = 1,
    throttleNoise,
    brakeNoise,
    rpmNoise,
    lateralNoise,
    longitudinalNoise,
    steeringNoise,
    lateralDriftPhase,
    steeringDriftPhase,
};

std::vector<double> gaussianSmoothed(const std::vector<double>& values, double sigmaSamples) {
    const auto radius = static_cast<std::ptrdiff_t>(std::ceil(3 * sigmaSamples));
    std::vector<double> kernel;
    double total = 0;
    for (std::ptrdiff_t i = -radius; i <= radius; ++i) {
        const double x = static_cast<double>(i) / sigmaSamples;
        kernel.push_back(std::exp(-0.5 * x * x));
        total += kernel.back();
    }
    const auto count = static_cast<std::ptrdiff_t>(values.size());
    std::vector<double> smoothed(values.size());
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        double sum = 0;
        for (std::ptrdiff_t j = -radius; j <= radius; ++j) {
            const std::ptrdiff_t at = std::clamp<std::ptrdiff_t>(i + j, 0, count - 1);
            sum +=
                kernel[static_cast<std::size_t>(j + radius)] * values[static_cast<std::size_t>(at)];
        }
        smoothed[static_cast<std::size_t>(i)] = sum / total;
    }
    return smoothed;
}

// Speed at 100 Hz: the path speeds turned into times, then sampled at every 10 ms. Nothing when
// the path ends before the last sample.
std::optional<std::vector<double>> speedOverTime(const std::vector<double>& nodeSpeed,
                                                 double pitStopSeconds, std::size_t sampleCount) {
    const double step = DrivenPath::kStepMetres;
    std::vector<double> speed(sampleCount, 0.0);
    double nodeTime = pitStopSeconds;
    std::size_t node = 0;
    for (std::size_t k = 0; k < sampleCount; ++k) {
        const double t = static_cast<double>(k) * kSamplePeriod;
        if (t < pitStopSeconds) {
            continue;
        }
        double nextTime = nodeTime;
        while (node + 1 < nodeSpeed.size()) {
            nextTime = nodeTime + 2 * step / (nodeSpeed[node] + nodeSpeed[node + 1]);
            if (nextTime > t) {
                break;
            }
            nodeTime = nextTime;
            ++node;
        }
        if (node + 1 >= nodeSpeed.size()) {
            return std::nullopt;
        }
        const double fraction = (t - nodeTime) / (nextTime - nodeTime);
        speed[k] = nodeSpeed[node] + (nodeSpeed[node + 1] - nodeSpeed[node]) * fraction;
    }
    return speed;
}

// Throttle and brake pedal positions that produce a longitudinal acceleration at a speed.
void pedalsFor(const VehicleModel& vehicle, double speed, double acceleration, double& throttle,
               double& brake) {
    const double force = vehicle.massKg * acceleration + vehicle.resistanceNewtons(speed);
    throttle = 0;
    brake = 0;
    if (force >= 0) {
        throttle = std::min(1.0, force / vehicle.maximumDriveNewtons(speed));
        if (throttle >= kFlatThrottle) {
            throttle = 1;
        }
        return;
    }
    const double brakeForce = -force - vehicle.engineBrakingNewtons;
    if (brakeForce > 0) {
        brake = std::min(1.0, brakeForce / (vehicle.massKg * vehicle.fullPedalBrakeMps2));
    }
}

// The driver's gear choice: up at the shift point, or after a second of steady cruising on a
// straight (short-shifting at the pit lane limiter); down when the engine speed drops low and
// the lower gear has room. Never two shifts within kMinimumShiftIntervalSeconds.
class GearChoice {
  public:
    explicit GearChoice(const VehicleModel& vehicle) : vehicle_(vehicle) {}

    int choose(const DriveState& s, bool standing, std::vector<GearChange>& changes) {
        if (standing) {
            gear_ = 1;
            return gear_;
        }
        const double rpm = vehicle_.engineRpmAt(s.speedMps, gear_);
        const bool canShift = s.seconds - lastShift_ >= kMinimumShiftIntervalSeconds;
        const bool steady = s.throttle > 0.01 && s.throttle < 0.5 &&
                            std::abs(s.curvaturePerMetre) < 0.002 &&
                            std::abs(s.longitudinalAccelerationMps2) < 0.3;
        steadySince_ = steady ? std::min(steadySince_, s.seconds) : s.seconds;
        const bool cruising = s.seconds - steadySince_ >= 1.0 && rpm >= 5500;
        int next = gear_;
        if (canShift && gear_ < vehicle_.topGear() && (rpm >= vehicle_.upshiftRpm || cruising)) {
            next = gear_ + 1;
        } else if (canShift && gear_ > 1 && rpm < vehicle_.downshiftRpm &&
                   vehicle_.engineRpmAt(s.speedMps, gear_ - 1) < vehicle_.upshiftRpm - 300) {
            next = gear_ - 1;
        }
        if (next != gear_) {
            changes.push_back({s.seconds, gear_, next});
            gear_ = next;
            lastShift_ = s.seconds;
        }
        return gear_;
    }

  private:
    const VehicleModel& vehicle_;
    int gear_ = 1;
    double lastShift_ = -kMinimumShiftIntervalSeconds;
    double steadySince_ = 0;
};

// Small reproducible sensor noise on top of the exact signals; full throttle, released pedals
// and the gear stay exact.
void addSensorNoise(std::vector<DriveState>& samples, std::uint64_t seed, double scale) {
    const SeededNoise noise(seed);
    const double lateralPhase = 2 * std::numbers::pi * noise.fraction(lateralDriftPhase);
    const double steeringPhase = 2 * std::numbers::pi * noise.fraction(steeringDriftPhase);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        DriveState& s = samples[k];
        const double t = s.seconds;
        const bool moving = s.speedMps > 0.5;
        if (moving) {
            s.speedMps = std::max(0.0, s.speedMps + scale * 0.04 * noise.uniform(speedNoise, k));
            s.steeringAngleRadians +=
                scale * (0.004 * noise.uniform(steeringNoise, k) +
                         0.01 * std::sin(2 * std::numbers::pi * 0.4 * t + steeringPhase));
            s.lateralAccelerationMps2 +=
                scale * 0.1 * std::sin(2 * std::numbers::pi * 0.7 * t + lateralPhase);
        }
        s.engineRpm += scale * 12 * noise.uniform(rpmNoise, k);
        s.lateralAccelerationMps2 += scale * 0.2 * noise.uniform(lateralNoise, k);
        s.longitudinalAccelerationMps2 += scale * 0.15 * noise.uniform(longitudinalNoise, k);
        if (s.throttle > 0.02 && s.throttle < kFlatThrottle) {
            s.throttle =
                std::clamp(s.throttle + scale * 0.008 * noise.uniform(throttleNoise, k), 0.0, 1.0);
        }
        if (s.brake > 0.02 && s.brake < 1.0) {
            s.brake = std::clamp(s.brake + scale * 0.008 * noise.uniform(brakeNoise, k), 0.0, 1.0);
        }
    }
}

double timeOf(std::size_t sample) {
    return static_cast<double>(sample) / DriveSimulation::kSampleRateHz;
}

// Position of a time between samples, clamped; times within rounding of a sample are that
// sample, so that stateAt(timeOf(k)) is sample k exactly.
double samplePosition(double seconds, std::size_t sampleCount) {
    if (std::isnan(seconds)) {
        return 0;
    }
    const double position = std::clamp(seconds * DriveSimulation::kSampleRateHz, 0.0,
                                       static_cast<double>(sampleCount - 1));
    const double nearest = std::round(position);
    return std::abs(position - nearest) < 1e-6 ? nearest : position;
}

}  // namespace

double DriveState::engineRadiansPerSecond() const {
    return engineRpm * 2 * std::numbers::pi / 60.0;
}

DriveSimulation::DriveSimulation(DriveSimulationOptions options) : options_(std::move(options)) {
    const double duration = options_.durationSeconds;
    if (!std::isfinite(duration) || duration <= 0 || duration > kLongestDriveSeconds) {
        throw std::invalid_argument("drive duration must be above 0 and at most 4 hours");
    }
    if (!std::isfinite(options_.pitStopSeconds) || options_.pitStopSeconds < 0 ||
        !std::isfinite(options_.noiseScale) || options_.noiseScale < 0) {
        throw std::invalid_argument(
            "pit stop time and noise scale must be finite and not negative");
    }
    const VehicleModel& vehicle = options_.vehicle;
    const auto sampleCount =
        static_cast<std::size_t>(std::floor(duration * kSampleRateHz + 1e-9)) + 1;

    double pathMetres = (duration + options_.pitStopSeconds + 10) * kAverageSpeedBoundMps;
    DrivenPath path = buildDrivenPath(pathMetres, options_.circuit);
    std::optional<std::vector<double>> sampledSpeed;
    while (!(sampledSpeed = speedOverTime(speedProfile(path, vehicle), options_.pitStopSeconds,
                                          sampleCount))) {
        pathMetres *= 2;
        path = buildDrivenPath(pathMetres, options_.circuit);
    }
    std::vector<double> speed = std::move(*sampledSpeed);
    // The clutch engages gradually: the car creeps off a moment before the pit stop time ends.
    speed = gaussianSmoothed(speed, kResponseSeconds * kSampleRateHz);

    // The noise-free signals.
    std::vector<DriveState> exact(sampleCount);
    segmentOfSample_.resize(sampleCount);
    for (const PathPiece& piece : path.pieces) {
        segmentNames_.push_back(piece.segment.name);
    }
    double distance = 0;
    GearChoice gears(vehicle);
    for (std::size_t k = 0; k < sampleCount; ++k) {
        DriveState& s = exact[k];
        s.seconds = timeOf(k);
        if (k > 0) {
            distance += (speed[k - 1] + speed[k]) * 0.5 * kSamplePeriod;
        }
        s.distanceMetres = distance;
        s.speedMps = speed[k];
        const std::size_t before = k > 0 ? k - 1 : k;
        const std::size_t after = std::min(k + 1, sampleCount - 1);
        s.longitudinalAccelerationMps2 =
            (speed[after] - speed[before]) / (timeOf(after) - timeOf(before));
        s.curvaturePerMetre = path.curvatureAt(distance);
        s.lateralAccelerationMps2 = s.speedMps * s.speedMps * s.curvaturePerMetre;
        s.steeringAngleRadians = vehicle.steeringWheelRadians(s.curvaturePerMetre);
        const std::size_t piece = path.pieceAt(distance);
        segmentOfSample_[k] = static_cast<int>(piece);
        s.lap = path.pieces[piece].lap;

        const bool standing = s.speedMps < 0.05;
        if (standing) {
            s.throttle = 0;
            s.brake = kHoldingBrake;
        } else {
            pedalsFor(vehicle, s.speedMps, s.longitudinalAccelerationMps2, s.throttle, s.brake);
        }
        s.gear = gears.choose(s, standing, gearChanges_);
        s.engineRpm = standing ? vehicle.idleRpm
                               : std::max(vehicle.engineRpmAt(s.speedMps, s.gear),
                                          s.gear == 1 ? vehicle.clutchSlipRpm : vehicle.idleRpm);
    }

    // Events, from the noise-free signals.
    corners_ = findCornerPasses(exact, path.pieces);
    fullThrottleRuns_ = findFullThrottleRuns(exact);
    brakingZones_ = findBrakingZones(exact);

    // What the sensors report: the exact signals plus small noise.
    samples_ = std::move(exact);
    addSensorNoise(samples_, options_.seed, options_.noiseScale);
}

DriveState DriveSimulation::stateAt(double seconds) const {
    const double position = samplePosition(seconds, samples_.size());
    const auto index = static_cast<std::size_t>(position);
    const DriveState& a = samples_[index];
    const double f = position - static_cast<double>(index);
    if (f == 0 || index + 1 >= samples_.size()) {
        return a;
    }
    const DriveState& b = samples_[index + 1];
    const auto mix = [f](double x, double y) { return x + (y - x) * f; };
    DriveState s = a;
    s.seconds = position / kSampleRateHz;
    s.distanceMetres = mix(a.distanceMetres, b.distanceMetres);
    s.speedMps = mix(a.speedMps, b.speedMps);
    s.throttle = mix(a.throttle, b.throttle);
    s.brake = mix(a.brake, b.brake);
    // Across a gear change the engine speed jumps with the gear.
    s.engineRpm = a.gear == b.gear ? mix(a.engineRpm, b.engineRpm) : a.engineRpm;
    s.curvaturePerMetre = mix(a.curvaturePerMetre, b.curvaturePerMetre);
    s.lateralAccelerationMps2 = mix(a.lateralAccelerationMps2, b.lateralAccelerationMps2);
    s.longitudinalAccelerationMps2 =
        mix(a.longitudinalAccelerationMps2, b.longitudinalAccelerationMps2);
    s.steeringAngleRadians = mix(a.steeringAngleRadians, b.steeringAngleRadians);
    return s;
}

const std::string& DriveSimulation::segmentNameAt(double seconds) const {
    const auto index = static_cast<std::size_t>(samplePosition(seconds, samples_.size()));
    return segmentNames_[static_cast<std::size_t>(segmentOfSample_[index])];
}

}  // namespace skelder::samples
