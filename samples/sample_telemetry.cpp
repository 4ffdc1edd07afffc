#include "samples/sample_telemetry.hpp"

#include <algorithm>
#include <string>
#include <string_view>

namespace skelder::samples {

double recordedChannelValue(const kovra::ChannelDefinition& channel, const DriveState& state) {
    const std::string_view tag = channel.tag;
    const std::string_view prefix = kovra::kVendorPrefix;
    if (tag.substr(0, prefix.size()) != prefix) {
        return 0;
    }
    const std::string_view name = tag.substr(prefix.size());
    if (name == "channel.gps.speed") {
        return state.speedMps;
    }
    if (name == "channel.throttle.position") {
        return state.throttle;
    }
    if (name == "channel.brake.position") {
        return state.brake;
    }
    if (name == "channel.enginespeed") {
        return state.engineRadiansPerSecond();
    }
    if (name == "channel.gear") {
        return state.gear;
    }
    if (name == "channel.accelerometer.vehicle.x") {
        return state.lateralAccelerationMps2;
    }
    if (name == "channel.accelerometer.vehicle.y") {
        return state.longitudinalAccelerationMps2;
    }
    if (name == "channel.steeringangle") {
        return state.steeringAngleRadians;
    }
    return 0;
}

kovra::RecordingOptions driveTelemetryOptions(const DriveSimulation& drive, double durationSeconds,
                                              double lagSeconds) {
    kovra::RecordingOptions options;
    options.channels = kovra::standardChannels();
    options.durationSeconds = durationSeconds;
    options.headerOffsetTicks = kRecorderHeaderOffsetTicks;
    options.valueAt = [&drive, lagSeconds](const kovra::ChannelDefinition& channel,
                                           double seconds) {
        return recordedChannelValue(channel, drive.stateAt(std::max(0.0, seconds - lagSeconds)));
    };
    return options;
}

}  // namespace skelder::samples
