#include "telemetry/packet_decoding.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "kovra_writer/byte_writer.hpp"

namespace skelder {
namespace {

using kovra::Bytes;

Bytes packetBytes(std::uint64_t ticks, std::uint32_t declaredLength, const Bytes& payload) {
    kovra::ByteWriter out;
    out.u64(ticks);
    out.u16(0x0102);
    out.u32(declaredLength);
    out.raw(payload);
    return std::move(out).take();
}

TEST(PacketSplitting, TrailingBytesAndIncompletePackets) {
    Bytes sample = packetBytes(5, 20, Bytes(20, 7));
    sample.insert(sample.end(), 6, 0xEE);  // 40 bytes: one packet and 6 ignored bytes
    const auto records = splitSample(sample, 3, 1.5);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].timestampTicks, 5u);
    EXPECT_EQ(records[0].flags, 0x0102);
    EXPECT_EQ(records[0].payload, Bytes(20, 7));
    EXPECT_EQ(records[0].sampleIndex, 3);
    EXPECT_EQ(records[0].samplePTSSeconds, 1.5);

    // The second packet claims more bytes than remain: it and everything after are dropped.
    Bytes two = packetBytes(1, 2, {9, 9});
    const Bytes overlong = packetBytes(2, 50, Bytes(10, 1));
    two.insert(two.end(), overlong.begin(), overlong.end());
    const Bytes third = packetBytes(3, 0, {});
    two.insert(two.end(), third.begin(), third.end());
    const auto kept = splitSample(two, 0, std::nullopt);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].timestampTicks, 1u);
    EXPECT_FALSE(kept[0].samplePTSSeconds.has_value());
}

ChannelInfo channel(std::uint16_t id, CalibrationInfo calibration = NoCalibration{}) {
    return {.channelID = id, .tag = {}, .rawType = {}, .calibration = calibration};
}

TEST(Calibration, NumericBitfieldAndNone) {
    const ChannelInfo numeric = channel(1, NumericCalibration{0.1, -40, 0, 1000});
    EXPECT_DOUBLE_EQ(calibrate(numeric, 1200, 1200), 60.0);
    EXPECT_DOUBLE_EQ(calibrate(numeric, -5, 0), -40.0);
    EXPECT_DOUBLE_EQ(calibrate(numeric, 500, 500), 10.0);
    // With the limits crossed the upper limit wins.
    EXPECT_DOUBLE_EQ(calibrate(channel(1, NumericCalibration{1, 0, 10, 5}), 7, 7), 5.0);
    EXPECT_EQ(calibrate(channel(2, BitfieldCalibration{0x0F}), 0xAB, 0xAB), 11.0);
    EXPECT_EQ(calibrate(channel(3), 42.5, 0), 42.5);
}

TEST(Calibration, SignedRawPatternIsSignExtendedBeforeMasking) {
    const Bytes payload{0xFF, 0xFE};
    std::size_t cursor = 0;
    const auto value = readPayloadValue(payload, cursor, 3);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->value, -2.0);
    EXPECT_EQ(value->rawBits, 0xFFFFFFFFFFFFFFFEull);
    EXPECT_EQ(calibrate(channel(1, BitfieldCalibration{0xFFFF}), value->value, value->rawBits),
              65534.0);
}

TEST(PayloadValues, TruncatedAndUnknownTypes) {
    const Bytes payload{1, 2, 3};
    std::size_t cursor = 0;
    EXPECT_FALSE(readPayloadValue(payload, cursor, 5).has_value());
    EXPECT_EQ(cursor, 0u);
    const Bytes four{0, 0, 0, 1};
    EXPECT_FALSE(readPayloadValue(four, cursor, 0).has_value());
    EXPECT_EQ(cursor, 4u);  // the unknown type's four bytes stay consumed
    cursor = 0;
    const auto floatValue = readPayloadValue(Bytes{0xBF, 0x80, 0, 0}, cursor, 9);
    ASSERT_TRUE(floatValue);
    EXPECT_EQ(floatValue->value, -1.0);
    EXPECT_EQ(floatValue->rawBits, 0xBF800000u);
}

// Decodes one packet with a description of rates over channel ids 1, 2, ...
struct DecodeHarness {
    TelemetrySampleDescription description;
    std::map<std::uint16_t, ResolvedChannel> resolved;
    std::vector<ChannelValueEvent> events;

    void addRate(std::uint64_t interval,
                 std::vector<std::pair<std::uint16_t, std::uint8_t>> channels) {
        RateDefinition rate{interval, {}};
        for (auto [id, rawType] : channels) {
            rate.channels.push_back({id, rawType});
            description.channels[id] = channel(id);
        }
        description.rates.push_back(rate);
        description.minimumIntervalTicks =
            description.minimumIntervalTicks == 1
                ? interval
                : std::min(description.minimumIntervalTicks, interval);
    }
    void resolve(std::uint16_t id) {
        resolved[id] = ResolvedChannel{channel(id), TelemetrySignalKind::speed};
    }
    void decode(const std::vector<PacketRecord>& packets) {
        PacketDecoder decoder(description, resolved);
        for (const auto& packet : packets) {
            decoder.decode(viewOf(packet), [&](const ResolvedChannel&, const ChannelValueEvent& e) {
                events.push_back(e);
            });
        }
    }
};

PacketRecord packet(std::uint64_t headerTicks, Bytes payload, std::optional<double> pts = {}) {
    return PacketRecord{headerTicks, 0, std::move(payload), 0, pts};
}

TEST(DecodingWalk, ExtremeTimesDoNotOverflow) {
    DecodeHarness h;
    h.addRate(1, {{1, 2}});
    h.resolve(1);
    // Header at the top of the tick range: the second cycle would overflow and ends the packet.
    h.decode({packet(UINT64_MAX, {1, 2, 3}),
              packet(0, {4}, std::numeric_limits<double>::infinity()), packet(0, {5}, 1e300),
              packet(0, {6}, -1.0)});
    ASSERT_EQ(h.events.size(), 2u);
    EXPECT_EQ(h.events[0].valueTicks, INT64_MAX);
    EXPECT_EQ(h.events[1].value, 6.0);
    EXPECT_EQ(h.events[1].valueTicks, 0);  // negative presentation times clamp to 0
}

}  // namespace
}  // namespace skelder
