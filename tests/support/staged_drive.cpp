#include "tests/support/staged_drive.hpp"

#include <cmath>
#include <numbers>

#include "kovra_writer/kovra_writer.hpp"
#include "samples/sample_telemetry.hpp"

namespace skelder::testing {
namespace {

constexpr double kG = 9.80665;

double wave(double t, double period) {
    return std::sin(2 * std::numbers::pi * t / period);
}

double rpmOf(double radiansPerSecond) {
    return radiansPerSecond * 60 / (2 * std::numbers::pi);
}

}  // namespace

samples::DriveState idling() {
    return {.engineRpm = rpmOf(85)};
}

samples::DriveState cruising(double t) {
    return {.speedMps = 30 + 3 * wave(t, 23),
            .throttle = 0.45 + 0.15 * wave(t, 17),
            .engineRpm = rpmOf(400 + 50 * wave(t, 11)),
            .gear = 4,
            .lateralAccelerationMps2 = 0.25 * kG * wave(t, 9),
            .longitudinalAccelerationMps2 = 0.1 * kG * wave(t, 13),
            .steeringAngleRadians = 0.1 * wave(t, 9)};
}

samples::DriveState cornering(double t, double start, double lateralG) {
    samples::DriveState state = cruising(t);
    const bool entry = t < start + 2;
    state.throttle = entry ? 0.0 : 0.3;
    state.brake = entry ? 0.7 : 0.0;
    state.speedMps = 22;
    state.lateralAccelerationMps2 = lateralG * kG * (0.9 + 0.1 * wave(t, 3));
    state.longitudinalAccelerationMps2 = entry ? -0.9 * kG : 0.2 * kG;
    state.steeringAngleRadians = 0.8;
    return state;
}

samples::DriveState flatOut(double t, double start) {
    samples::DriveState state = cruising(t);
    state.throttle = 1.0;
    state.speedMps = 20 + 1.5 * (t - start);
    state.engineRpm = rpmOf(500 + 20 * (t - start));
    state.lateralAccelerationMps2 = 0.05 * kG;
    state.longitudinalAccelerationMps2 = 0.35 * kG;
    return state;
}

void writeStagedDrive(const std::filesystem::path& file, double seconds,
                      const std::function<samples::DriveState(double)>& stateAt) {
    kovra::RecordingOptions options;
    options.durationSeconds = seconds;
    options.valueAt = [stateAt](const kovra::ChannelDefinition& channel, double t) {
        return samples::recordedChannelValue(channel, stateAt(t));
    };
    kovra::writeRecording(file, options);
}

}  // namespace skelder::testing
