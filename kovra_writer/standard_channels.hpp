#pragma once

#include <vector>

#include "kovra_writer/kovra_channels.hpp"

namespace skelder::kovra {

// Every channel tag the recorder writes starts with this reverse-domain prefix.
inline constexpr const char* kVendorPrefix = "com.kovra.";

// Identifiers of the channels in standardChannels() and extraChannels().
inline constexpr std::uint16_t kSpeedChannel = 1;
inline constexpr std::uint16_t kThrottleChannel = 2;
inline constexpr std::uint16_t kBrakeChannel = 3;
inline constexpr std::uint16_t kEngineSpeedChannel = 4;
inline constexpr std::uint16_t kGearChannel = 5;
inline constexpr std::uint16_t kLateralAccelChannel = 6;
inline constexpr std::uint16_t kLongitudinalAccelChannel = 7;
inline constexpr std::uint16_t kSteeringAngleChannel = 8;
inline constexpr std::uint16_t kCoolantChannel = 20;
inline constexpr std::uint16_t kStatusFlagsChannel = 21;
inline constexpr std::uint16_t kBatteryChannel = 22;

// The eight channels the app reads, as the recorder writes them: speed (m/s, 10 Hz), throttle
// and brake (fraction, 50 Hz), engine speed (rad/s, 50 Hz), gear (10 Hz), vehicle x/y
// acceleration (m/s^2, 100 Hz) and steering angle (radians, 50 Hz); integer raw types with
// numeric calibrations. Rates in first-appearance order: 10 Hz, 50 Hz, 100 Hz.
std::vector<ChannelDefinition> standardChannels();

// Channels the app ignores: coolant temperature (1 Hz, uint8), status flags (bitfield, 10 Hz)
// and battery voltage (a parameter record without a rate).
std::vector<ChannelDefinition> extraChannels();

// A plausible lap profile: the physical value (in the recorded unit) of the channels above,
// matched by tag, at `seconds`; 0 for any other tag.
double syntheticValue(const ChannelDefinition& channel, double seconds);

}  // namespace skelder::kovra
