#include "kovra_writer/standard_channels.hpp"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

namespace skelder::kovra {

namespace {

constexpr std::uint64_t k1Hz = kTicksPerSecond;
constexpr std::uint64_t k10Hz = kTicksPerSecond / 10;
constexpr std::uint64_t k50Hz = kTicksPerSecond / 50;
constexpr std::uint64_t k100Hz = kTicksPerSecond / 100;

ChannelDefinition numeric(std::uint16_t id, const char* name, std::uint8_t rawType,
                          std::uint64_t interval, double gain, double offset, double minRaw,
                          double maxRaw) {
    return {.id = id,
            .tag = std::string(kVendorPrefix) + name,
            .calibration = NumericCalibration{gain, offset, minRaw, maxRaw},
            .rawType = rawType,
            .intervalTicks = interval};
}

// A 20 s lap: a straight with full throttle, then braking into a corner.
double lapPhase(double seconds) {
    return std::fmod(seconds, 20.0) / 20.0;
}

}  // namespace

std::vector<ChannelDefinition> standardChannels() {
    return {
        numeric(kSpeedChannel, "channel.gps.speed", kRawUInt16, k10Hz, 0.01, 0, 0, 65535),
        numeric(kThrottleChannel, "channel.throttle.position", kRawUInt16, k50Hz, 0.001, 0, 0,
                1000),
        numeric(kBrakeChannel, "channel.brake.position", kRawUInt16, k50Hz, 0.001, 0, 0, 1000),
        numeric(kEngineSpeedChannel, "channel.enginespeed", kRawUInt16, k50Hz, 0.1, 0, 0, 65535),
        numeric(kGearChannel, "channel.gear", kRawUInt8, k10Hz, 1, 0, 0, 15),
        numeric(kLateralAccelChannel, "channel.accelerometer.vehicle.x", kRawInt16, k100Hz, 0.01, 0,
                -32768, 32767),
        numeric(kLongitudinalAccelChannel, "channel.accelerometer.vehicle.y", kRawInt16, k100Hz,
                0.01, 0, -32768, 32767),
        numeric(kSteeringAngleChannel, "channel.steeringangle", kRawInt16, k50Hz, 0.0002, 0, -32768,
                32767),
    };
}

std::vector<ChannelDefinition> extraChannels() {
    ChannelDefinition coolant =
        numeric(kCoolantChannel, "channel.coolant.temperature", kRawUInt8, k1Hz, 1, -40, 0, 255);
    ChannelDefinition flags{.id = kStatusFlagsChannel,
                            .tag = std::string(kVendorPrefix) + "channel.status.flags",
                            .calibration = BitfieldCalibration{0x00FF, 1, 2},
                            .rawType = kRawUInt16,
                            .intervalTicks = k10Hz};
    ChannelDefinition battery =
        numeric(kBatteryChannel, "channel.battery.voltage", kRawUInt16, k1Hz, 0.001, 0, 0, 65535);
    battery.listedInRates = false;
    return {coolant, flags, battery};
}

double syntheticValue(const ChannelDefinition& channel, double seconds) {
    const std::string prefix = kVendorPrefix;
    if (channel.tag.rfind(prefix, 0) != 0) {
        return 0.0;
    }
    const std::string_view name = std::string_view(channel.tag).substr(prefix.size());
    const double phase = lapPhase(seconds);
    const bool straight = phase < 0.6;
    const double wave = std::sin(2 * std::numbers::pi * phase);
    if (name == "channel.gps.speed") {
        return straight ? 20.0 + 40.0 * phase : 44.0 - 30.0 * (phase - 0.6);
    }
    if (name == "channel.throttle.position") {
        return straight ? 1.0 : 0.1;
    }
    if (name == "channel.brake.position") {
        return straight ? 0.0 : 0.8 * (1.0 - phase);
    }
    if (name == "channel.enginespeed") {
        return 300.0 + 400.0 * std::fmod(phase * 3, 1.0);  // rad/s, rising through three gears
    }
    if (name == "channel.gear") {
        return 2.0 + std::floor(phase * 3);
    }
    if (name == "channel.accelerometer.vehicle.x") {
        return straight ? 0.5 * wave : 12.0 * wave;
    }
    if (name == "channel.accelerometer.vehicle.y") {
        return straight ? 3.0 : -9.0;
    }
    if (name == "channel.steeringangle") {
        return straight ? 0.02 * wave : 0.8 * wave;
    }
    if (name == "channel.coolant.temperature") {
        return 90.0;
    }
    if (name == "channel.status.flags") {
        return 0x21;
    }
    return 0.0;
}

}  // namespace skelder::kovra
