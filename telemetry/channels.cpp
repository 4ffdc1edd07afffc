#include "telemetry/channels.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace skelder {
namespace {

struct KeyCandidates {
    RequiredChannelKey key;
    std::vector<std::string_view> identifiers;
};

const std::array<KeyCandidates, 8>& candidateTable() {
    static const std::array<KeyCandidates, 8> table = {{
        {RequiredChannelKey::speed,
         {"channel.speed", "channel.location.speed", "channel.gps.speed"}},
        {RequiredChannelKey::throttle,
         {"channel.throttle.position", "channel.accelpos", "channel.accelerator"}},
        {RequiredChannelKey::brake, {"channel.brake.position", "channel.brakepos"}},
        {RequiredChannelKey::engineSpeed, {"channel.enginespeed", "channel.rpm"}},
        {RequiredChannelKey::gear, {"channel.gear"}},
        {RequiredChannelKey::latAccel,
         {"channel.accelerometer.vehicle.x", "channel.lateralacceleration"}},
        {RequiredChannelKey::lonAccel,
         {"channel.accelerometer.vehicle.y", "channel.longitudinalacceleration"}},
        {RequiredChannelKey::steeringAngle,
         {"channel.steeringangle", "channel.steerangle", "channel.steering.angle",
          "channel.steer.angle", "channel.steeringwheelangle"}},
    }};
    return table;
}

constexpr std::uint16_t kFallbackSteeringChannelID = 43;

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string lowercased(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool hasVendorIdentifier(const ChannelInfo& channel, std::string_view identifier) {
    const std::string_view tag = channel.tag;
    return tag.size() == kVendorChannelPrefix.size() + identifier.size() &&
           tag.starts_with(kVendorChannelPrefix) && tag.ends_with(identifier);
}

}  // namespace

std::string_view requiredChannelKeyText(RequiredChannelKey key) {
    switch (key) {
        case RequiredChannelKey::speed:
            return "speed";
        case RequiredChannelKey::throttle:
            return "throttle";
        case RequiredChannelKey::brake:
            return "brake";
        case RequiredChannelKey::engineSpeed:
            return "engineSpeed";
        case RequiredChannelKey::gear:
            return "gear";
        case RequiredChannelKey::latAccel:
            return "latAccel";
        case RequiredChannelKey::lonAccel:
            return "lonAccel";
        case RequiredChannelKey::steeringAngle:
            return "steeringAngle";
    }
    return "";
}

std::map<std::uint16_t, RequiredChannelKey> resolveRequiredChannels(
    const std::map<std::uint16_t, ChannelInfo>& channels) {
    std::map<std::uint16_t, RequiredChannelKey> resolved;
    for (const KeyCandidates& candidates : candidateTable()) {
        bool found = false;
        for (std::string_view identifier : candidates.identifiers) {
            // The table is ordered by channel id, so the first match is the lowest id.
            for (const auto& [id, channel] : channels) {
                if (hasVendorIdentifier(channel, identifier)) {
                    resolved[id] = candidates.key;
                    found = true;
                    break;
                }
            }
            if (found)
                break;
        }
        if (!found && candidates.key == RequiredChannelKey::steeringAngle &&
            channels.contains(kFallbackSteeringChannelID)) {
            resolved[kFallbackSteeringChannelID] = RequiredChannelKey::steeringAngle;
        }
    }
    return resolved;
}

std::optional<TelemetrySignalKind> classifySignalKind(std::string_view tag,
                                                      std::uint16_t channelID) {
    const std::string t = lowercased(tag);
    if (endsWith(t, "throttle.position") || endsWith(t, ".accelpos") ||
        endsWith(t, ".accelerator")) {
        return TelemetrySignalKind::throttle;
    }
    if (endsWith(t, "brake.position") || endsWith(t, ".brakepos")) {
        return TelemetrySignalKind::brake;
    }
    if (endsWith(t, "enginespeed") || endsWith(t, ".rpm"))
        return TelemetrySignalKind::rpm;
    if (t == lowercased(std::string(kVendorChannelPrefix) + "channel.gear") ||
        endsWith(t, ".gear")) {
        return TelemetrySignalKind::gear;
    }
    if (endsWith(t, "channel.speed") || endsWith(t, "location.speed") || endsWith(t, "gps.speed")) {
        return TelemetrySignalKind::speed;
    }
    if (contains(t, "accelerometer.vehicle.x") || contains(t, "lateralacceleration")) {
        return TelemetrySignalKind::latAccel;
    }
    if (contains(t, "accelerometer.vehicle.y") || contains(t, "longitudinalacceleration")) {
        return TelemetrySignalKind::lonAccel;
    }
    if ((contains(t, "steering") && contains(t, "angle")) ||
        channelID == kFallbackSteeringChannelID) {
        return TelemetrySignalKind::steering;
    }
    return std::nullopt;
}

std::optional<TelemetrySignalKind> resolvedSignalKind(const ChannelInfo& channel,
                                                      RequiredChannelKey key) {
    if (auto kind = classifySignalKind(channel.tag, channel.channelID))
        return kind;
    switch (key) {
        case RequiredChannelKey::speed:
            return TelemetrySignalKind::speed;
        case RequiredChannelKey::throttle:
            return TelemetrySignalKind::throttle;
        case RequiredChannelKey::brake:
            return TelemetrySignalKind::brake;
        case RequiredChannelKey::engineSpeed:
            return TelemetrySignalKind::rpm;
        case RequiredChannelKey::gear:
            return TelemetrySignalKind::gear;
        case RequiredChannelKey::latAccel:
            return TelemetrySignalKind::latAccel;
        case RequiredChannelKey::lonAccel:
            return TelemetrySignalKind::lonAccel;
        case RequiredChannelKey::steeringAngle:
            return TelemetrySignalKind::steering;
    }
    return std::nullopt;
}

}  // namespace skelder
