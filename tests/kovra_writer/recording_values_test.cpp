#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "box_walker.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "reference_decoder.hpp"

namespace skelder::kovra {
namespace {

// A distinct straight line per channel, inside every channel's calibrated range.
double line(const ChannelDefinition& c, double seconds) {
    return 0.05 * c.id + 0.01 * seconds * (c.id % 2 == 0 ? 1 : -1) + (c.id == 1 ? 20 : 0);
}

double gainOf(const ChannelDefinition& c) {
    const auto* n = std::get_if<NumericCalibration>(&c.calibration);
    return n != nullptr ? n->gain : 1.0;
}

TEST(RecordingValues, DecodeToTheRequestedValuesAtTheirRates) {
    RecordingOptions o;
    o.durationSeconds = 4;
    o.valueAt = line;
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording(o)));

    std::map<std::uint16_t, std::vector<test::DecodedValue>> byChannel;
    for (const auto& v : t.values) {
        byChannel[v.channelId].push_back(v);
    }
    for (const auto& c : standardChannels()) {
        const auto& values = byChannel[c.id];
        ASSERT_EQ(values.size(), 4 * kTicksPerSecond / c.intervalTicks) << c.tag;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto ticks = static_cast<std::int64_t>(i * c.intervalTicks);
            ASSERT_EQ(values[i].ticks, ticks) << c.tag;
            EXPECT_NEAR(values[i].value, line(c, static_cast<double>(ticks) / 1e7),
                        gainOf(c) / 2 + 1e-9)
                << c.tag << " at " << ticks;
        }
    }
}

TEST(RecordingValues, ValueTimesFollowPresentationTimeWhileHeadersDecideTheLayout) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.headerOffsetTicks = 5'000'000;  // header clock ahead, still on the rate's 0.25 s grid
    o.channels = {{.id = 9,
                   .tag = "com.kovra.channel.clock",
                   .rawType = kRawFloat64,
                   .intervalTicks = 2'500'000}};
    o.valueAt = [](const ChannelDefinition&, double seconds) { return seconds; };
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording(o)));
    // Four cycles per packet, placed from the sample's presentation time, not its header time.
    ASSERT_EQ(t.values.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(t.values[i].ticks, static_cast<std::int64_t>(i * 2'500'000));
        EXPECT_EQ(t.values[i].value, static_cast<double>(i * 2'500'000) / 1e7);
    }
    EXPECT_EQ(t.values[4].headerTicks, 15'000'000u);
}

TEST(RecordingValues, HeaderOffsetOffTheSlowRatesShiftsTheirCycles) {
    RecordingOptions o;
    o.durationSeconds = 1;
    o.headerOffsetTicks = 5'000'000;  // on the 0.5 s rate grid, off the 1 s one
    o.channels = {{.id = 1, .tag = "a", .rawType = kRawUInt8, .intervalTicks = 5'000'000},
                  {.id = 2, .tag = "b", .rawType = kRawUInt8, .intervalTicks = 10'000'000}};
    o.valueAt = [](const ChannelDefinition& c, double seconds) { return c.id * 10 + seconds * 2; };
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording(o)));
    // Header 0.5 s: cycle 0 only rate a; cycle 1 (1.0 s) both.
    ASSERT_EQ(t.packets.size(), 1u);
    EXPECT_EQ(t.packets[0].payload, (Bytes{10, 11, 21}));
}

TEST(RecordingValues, ExtraChannelsCarryBitfieldsAndRatelessRecords) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.channels = standardChannels();
    for (const auto& c : extraChannels()) {
        o.channels.push_back(c);
    }
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording(o)));
    ASSERT_EQ(t.channels.size(), 11u);
    EXPECT_EQ(t.channels.at(kStatusFlagsChannel).calibrationType, 2);
    EXPECT_EQ(t.channels.at(kStatusFlagsChannel).mask, 0xFFu);
    EXPECT_EQ(t.channels.at(kBatteryChannel).tag, "com.kovra.channel.battery.voltage");
    std::map<std::uint16_t, std::vector<double>> values;
    for (const auto& v : t.values) {
        values[v.channelId].push_back(v.value);
    }
    EXPECT_EQ(values[kCoolantChannel], (std::vector<double>{90, 90}));
    EXPECT_EQ(values[kStatusFlagsChannel].size(), 20u);
    EXPECT_EQ(values[kStatusFlagsChannel].front(), 0x21);
    EXPECT_EQ(values.count(kBatteryChannel), 0u);
    EXPECT_EQ(values[kLateralAccelChannel].size(), 200u);
}

TEST(RecordingValues, SyntheticProfileStaysWithinPlausibleRanges) {
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording({.durationSeconds = 20})));
    ASSERT_FALSE(t.values.empty());
    for (const auto& v : t.values) {
        switch (v.channelId) {
            case kSpeedChannel:
                EXPECT_TRUE(v.value >= 0 && v.value < 100) << v.value;
                break;
            case kThrottleChannel:
            case kBrakeChannel:
                EXPECT_TRUE(v.value >= 0 && v.value <= 1) << v.value;
                break;
            case kGearChannel:
                EXPECT_TRUE(v.value >= 1 && v.value <= 6) << v.value;
                break;
            case kSteeringAngleChannel:
                EXPECT_LE(std::abs(v.value), 4.7) << v.value;
                break;
            default:
                break;
        }
    }
}

}  // namespace
}  // namespace skelder::kovra
