#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "telemetry/sample_description.hpp"

namespace skelder {

// The namespace the recorder puts in front of every channel identifier.
inline constexpr std::string_view kVendorChannelPrefix = "com.kovra.";

// The eight signals the rest of the system needs, in the order they are resolved.
enum class RequiredChannelKey {
    speed,
    throttle,
    brake,
    engineSpeed,
    gear,
    latAccel,
    lonAccel,
    steeringAngle,
};

std::string_view requiredChannelKeyText(RequiredChannelKey key);

// Which overlay field a value updates and how it is converted.
enum class TelemetrySignalKind { throttle, brake, rpm, gear, speed, latAccel, lonAccel, steering };

// Picks at most one channel per key: candidate identifiers in their order, and among
// channels with the same identifier the lowest channel id.
std::map<std::uint16_t, RequiredChannelKey> resolveRequiredChannels(
    const std::map<std::uint16_t, ChannelInfo>& channels);

std::optional<TelemetrySignalKind> classifySignalKind(std::string_view tag,
                                                      std::uint16_t channelID);

// The kind a resolved channel feeds: its classification, or the kind of the key it was
// resolved for when the tag does not classify (for example "channel.steer.angle").
std::optional<TelemetrySignalKind> resolvedSignalKind(const ChannelInfo& channel,
                                                      RequiredChannelKey key);

}  // namespace skelder
