#include "telemetry/channels.hpp"

#include <gtest/gtest.h>

namespace skelder {
namespace {

std::map<std::uint16_t, ChannelInfo> table(
    std::initializer_list<std::pair<std::uint16_t, std::string>> entries) {
    std::map<std::uint16_t, ChannelInfo> channels;
    for (const auto& [id, tag] : entries)
        channels[id] = {.channelID = id, .tag = tag, .rawType = {}};
    return channels;
}

TEST(ChannelResolution, ResolvesOnlyExactVendorIdentifiers) {
    const auto resolved = resolveRequiredChannels(
        table({{5, "com.kovra.channel.gps.speed"}, {9, "com.kovra.channel.rpm"}, {10, "other"}}));
    ASSERT_EQ(resolved.size(), 2u);
    EXPECT_EQ(resolved.at(5), RequiredChannelKey::speed);
    EXPECT_EQ(resolved.at(9), RequiredChannelKey::engineSpeed);

    // Resolution is case-sensitive; classification lower-cases the tag.
    const std::string capitalised = "com.kovra.channel.Speed";
    EXPECT_TRUE(resolveRequiredChannels(table({{1, capitalised}})).empty());
    EXPECT_EQ(classifySignalKind(capitalised, 1), TelemetrySignalKind::speed);
    // A foreign namespace does not resolve either.
    EXPECT_TRUE(resolveRequiredChannels(table({{1, "org.other.channel.speed"}})).empty());
}

TEST(ChannelResolution, CandidateOrderThenLowestChannelID) {
    const auto resolved =
        resolveRequiredChannels(table({{30, "com.kovra.channel.gps.speed"},
                                       {20, "com.kovra.channel.location.speed"},
                                       {12, "com.kovra.channel.location.speed"}}));
    ASSERT_EQ(resolved.size(), 1u);
    EXPECT_EQ(resolved.begin()->first, 12);
}

TEST(ChannelResolution, ChannelFortyThreeIsTheFallbackSteering) {
    const auto resolved = resolveRequiredChannels(table({{43, "vendor.thing"}}));
    ASSERT_EQ(resolved.size(), 1u);
    EXPECT_EQ(resolved.at(43), RequiredChannelKey::steeringAngle);
    EXPECT_EQ(classifySignalKind("vendor.thing", 43), TelemetrySignalKind::steering);

    // The fallback replaces an earlier key that took channel 43.
    const auto replaced = resolveRequiredChannels(table({{43, "com.kovra.channel.gear"}}));
    EXPECT_EQ(replaced.at(43), RequiredChannelKey::steeringAngle);

    // With a named steering channel, 43 stays what it was.
    const auto named = resolveRequiredChannels(
        table({{43, "com.kovra.channel.gear"}, {50, "com.kovra.channel.steeringangle"}}));
    EXPECT_EQ(named.at(43), RequiredChannelKey::gear);
    EXPECT_EQ(named.at(50), RequiredChannelKey::steeringAngle);
}

TEST(ChannelClassification, RulesInOrder) {
    const std::vector<std::pair<std::string, TelemetrySignalKind>> cases{
        {"x.throttle.position", TelemetrySignalKind::throttle},
        {"X.ACCELPOS", TelemetrySignalKind::throttle},
        {"a.accelerator", TelemetrySignalKind::throttle},
        {"brake.position", TelemetrySignalKind::brake},
        {"a.brakepos", TelemetrySignalKind::brake},
        {"com.kovra.channel.EngineSpeed", TelemetrySignalKind::rpm},
        {"a.rpm", TelemetrySignalKind::rpm},
        {"com.kovra.channel.gear", TelemetrySignalKind::gear},
        {"a.gear", TelemetrySignalKind::gear},
        {"x.channel.speed", TelemetrySignalKind::speed},
        {"x.location.speed", TelemetrySignalKind::speed},
        {"gps.speed", TelemetrySignalKind::speed},
        {"z.accelerometer.vehicle.x.raw", TelemetrySignalKind::latAccel},
        {"lateralacceleration", TelemetrySignalKind::latAccel},
        {"accelerometer.vehicle.y", TelemetrySignalKind::lonAccel},
        {"q.longitudinalacceleration.q", TelemetrySignalKind::lonAccel},
        {"steering.wheel.angle", TelemetrySignalKind::steering},
    };
    for (const auto& [tag, kind] : cases)
        EXPECT_EQ(classifySignalKind(tag, 1), kind) << tag;
    EXPECT_FALSE(classifySignalKind("com.kovra.channel.steerangle", 1).has_value());
    EXPECT_FALSE(classifySignalKind("com.kovra.channel.temperature", 1).has_value());
}

TEST(ChannelClassification, ResolvedSteeringAliasesFeedTheSteeringField) {
    for (const std::string tag :
         {"com.kovra.channel.steerangle", "com.kovra.channel.steer.angle"}) {
        const auto channels = table({{7, tag}});
        const auto resolved = resolveRequiredChannels(channels);
        ASSERT_EQ(resolved.at(7), RequiredChannelKey::steeringAngle);
        EXPECT_EQ(resolvedSignalKind(channels.at(7), RequiredChannelKey::steeringAngle),
                  TelemetrySignalKind::steering);
    }
}

}  // namespace
}  // namespace skelder
