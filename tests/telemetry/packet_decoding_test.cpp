#include "telemetry/packet_decoding.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <random>

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
    ChannelInfo info;
    info.channelID = id;
    info.calibration = calibration;
    return info;
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

TEST(DecodingWalk, RatesAreDueByHeaderTime) {
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 2}});
    h.addRate(2'000'000, {{2, 2}});
    h.resolve(1);
    h.resolve(2);
    // Cycle 0 at 10,000,000: both rates; cycle 1: only the first; cycle 2: both.
    h.decode({packet(10'000'000, {10, 20, 11, 12, 22})});
    ASSERT_EQ(h.events.size(), 5u);
    const std::vector<std::pair<int, double>> expected{{1, 10}, {2, 20}, {1, 11}, {1, 12}, {2, 22}};
    const std::vector<std::int64_t> ticks{10'000'000, 10'000'000, 11'000'000, 12'000'000,
                                          12'000'000};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(h.events[i].channelID, expected[i].first);
        EXPECT_EQ(h.events[i].value, expected[i].second);
        EXPECT_EQ(h.events[i].valueTicks, ticks[i]);
    }
}

TEST(DecodingWalk, PacketWithNoDueRateContributesNothing) {
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 2}});
    h.resolve(1);
    h.decode({packet(10'500'000, {1, 2, 3}), packet(11'000'000, {4})});
    ASSERT_EQ(h.events.size(), 1u);
    EXPECT_EQ(h.events[0].value, 4.0);
}

TEST(DecodingWalk, PresentationTimePlacesValuesHeaderTimeDecidesLayout) {
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 2}});
    h.addRate(2'000'000, {{2, 2}});
    h.resolve(1);
    h.resolve(2);
    // Header 7 s (rate 2 due in cycles 0 and 2), presentation 2.5 s.
    h.decode({packet(70'000'000, {1, 2, 3, 4, 5}, 2.5)});
    ASSERT_EQ(h.events.size(), 5u);
    EXPECT_EQ(h.events[0].valueTicks, 25'000'000);
    EXPECT_EQ(h.events[2].valueTicks, 26'000'000);
    EXPECT_EQ(h.events[4].channelID, 2);
    EXPECT_EQ(h.events[4].valueTicks, 27'000'000);
}

TEST(DecodingWalk, UnreadableValueEndsTheWholeWalk) {
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 2}, {2, 3}});
    h.resolve(1);
    // The second channel needs two bytes but only one is left: later packets are not decoded.
    h.decode({packet(0, {7, 1}), packet(1'000'000, {8, 0, 0})});
    ASSERT_EQ(h.events.size(), 1u);
    EXPECT_EQ(h.events[0].value, 7.0);

    DecodeHarness unknown;
    unknown.addRate(1'000'000, {{1, 0}});
    unknown.resolve(1);
    unknown.decode({packet(0, {0, 0, 0, 1}), packet(1'000'000, {0, 0, 0, 2})});
    EXPECT_TRUE(unknown.events.empty());
}

TEST(DecodingWalk, UnresolvedChannelsAreSkippedButConsumeTheirBytes) {
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 4}, {2, 2}});
    h.resolve(2);
    h.decode({packet(0, {0xAA, 0xBB, 9, 0xCC, 0xDD, 10})});
    ASSERT_EQ(h.events.size(), 2u);
    EXPECT_EQ(h.events[0].value, 9.0);
    EXPECT_EQ(h.events[1].value, 10.0);
    EXPECT_EQ(h.events[1].valueTicks, 1'000'000);
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

TEST(DecodingWalk, RatesWithoutChannelsChangeNothing) {
    // Rates that list no channel never hold values, so thousands of them leave the layout
    // and the stop rule as they were.
    DecodeHarness h;
    h.addRate(1'000'000, {{1, 2}});
    for (std::uint64_t i = 0; i < 5000; ++i)
        h.addRate(1'000'000 + i, {});
    h.addRate(2'000'000, {{2, 2}});
    h.resolve(1);
    h.resolve(2);
    h.decode({packet(10'000'000, {10, 20, 11, 12, 22})});
    ASSERT_EQ(h.events.size(), 5u);
    EXPECT_EQ(h.events[1].channelID, 2);
    EXPECT_EQ(h.events[4].value, 22.0);
}

// The decoding walk as the recorder's format describes it, one rate after another in every
// cycle; the decoder must hand the sink exactly the same values.
std::vector<ChannelValueEvent> walkEveryRate(
    const TelemetrySampleDescription& description,
    const std::map<std::uint16_t, ResolvedChannel>& resolved,
    const std::vector<PacketRecord>& packets) {
    std::vector<ChannelValueEvent> events;
    std::uint64_t m = std::min<std::uint64_t>(description.minimumIntervalTicks, INT64_MAX);
    m = m == 0 ? 1 : m;
    for (const PacketRecord& packet : packets) {
        if (packet.payload.empty() || description.rates.empty())
            continue;
        const std::uint64_t header = std::min<std::uint64_t>(packet.timestampTicks, INT64_MAX);
        std::optional<std::int64_t> pts;
        if (packet.samplePTSSeconds) {
            const double ticks = *packet.samplePTSSeconds * 1e7;
            if (!(ticks > -9.2e18 && ticks < 9.2e18))
                continue;
            pts = static_cast<std::int64_t>(ticks);
        }
        std::size_t cursor = 0;
        for (unsigned __int128 k = 0; cursor < packet.payload.size(); ++k) {
            const unsigned __int128 headerTime = header + k * m;
            if (headerTime > INT64_MAX)
                break;
            std::int64_t valueTicks = static_cast<std::int64_t>(headerTime);
            if (pts) {
                const __int128 placed = __int128{*pts} + static_cast<__int128>(k * m);
                if (placed > INT64_MAX)
                    break;
                valueTicks = placed < 0 ? 0 : static_cast<std::int64_t>(placed);
            }
            bool anyDue = false;
            for (const RateDefinition& rate : description.rates) {
                if (rate.intervalTicks == 0 || headerTime % rate.intervalTicks != 0)
                    continue;
                anyDue = anyDue || !rate.channels.empty();
                for (const RateChannelDefinition& channel : rate.channels) {
                    const auto value = readPayloadValue(packet.payload, cursor, channel.rawType);
                    if (!value)
                        return events;
                    if (const auto found = resolved.find(channel.channelID);
                        found != resolved.end()) {
                        events.push_back(
                            {channel.channelID,
                             calibrate(found->second.info, value->value, value->rawBits),
                             valueTicks});
                    }
                }
            }
            if (!anyDue)
                break;
        }
    }
    return events;
}

TEST(DecodingWalk, SameValuesAsTestingEveryRateInEveryCycle) {
    std::mt19937_64 random(20240611);
    const auto pick = [&](auto... choices) {
        const std::uint64_t values[] = {static_cast<std::uint64_t>(choices)...};
        return values[random() % sizeof...(choices)];
    };
    const auto below = [&](std::uint64_t n) { return random() % n; };
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        DecodeHarness h;
        const std::uint64_t rateCount = below(7);
        std::uint64_t minimum = UINT64_MAX;
        for (std::uint64_t r = 0; r < rateCount; ++r) {
            RateDefinition rate{pick(0, 1, 2, 3, 4, 6, 9, 10, 12, 1'000'000, 2'000'000, 3'000'000,
                                     (1ull << 63) + 5, UINT64_MAX),
                                {}};
            for (std::uint64_t c = below(4); c > 0; --c) {
                const auto id = static_cast<std::uint16_t>(1 + below(6));
                // Mostly one-byte values, so that payloads hold many cycles; now and then a type
                // the walk cannot read.
                const std::uint64_t rawType =
                    below(8) == 0 ? pick(3, 4, 5, 6, 7, 8, 9, 10, 0, 11) : pick(1, 2);
                rate.channels.push_back({id, static_cast<std::uint8_t>(rawType)});
                h.description.channels[id] = channel(id);
            }
            minimum = std::min(minimum, rate.intervalTicks);
            h.description.rates.push_back(rate);
        }
        h.description.minimumIntervalTicks = rateCount == 0 ? 1 : minimum;
        for (std::uint16_t id = 1; id <= 6; ++id) {
            if (below(2) == 0)
                h.resolve(id);
        }

        std::vector<PacketRecord> packets;
        std::uint64_t header = below(40);
        for (std::uint64_t p = below(8); p > 0; --p) {
            // Packets that continue each other, jump ahead, go back or sit at the tick limit.
            switch (below(6)) {
                case 0:
                    header = below(40);
                    break;
                case 1:
                    header += below(3) * std::max<std::uint64_t>(minimum % 64, 1);
                    break;
                case 2:
                    header = pick(INT64_MAX, INT64_MAX - 3, UINT64_MAX, 6'000'000);
                    break;
                default:
                    header += below(30);
            }
            Bytes payload(below(48));
            for (auto& byte : payload)
                byte = static_cast<std::uint8_t>(below(4) == 0 ? 0xFF : below(8));
            std::optional<double> pts;
            if (below(3) == 0) {
                pts = below(8) == 0 ? std::numeric_limits<double>::quiet_NaN()
                                    : static_cast<double>(below(50)) / 10.0 - 1.0;
            }
            packets.push_back(packet(header, std::move(payload), pts));
        }

        const auto expected = walkEveryRate(h.description, h.resolved, packets);
        h.decode(packets);
        ASSERT_EQ(h.events.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(h.events[i].channelID, expected[i].channelID) << i;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(h.events[i].value),
                      std::bit_cast<std::uint64_t>(expected[i].value))
                << i;
            EXPECT_EQ(h.events[i].valueTicks, expected[i].valueTicks) << i;
        }
    }
}

}  // namespace
}  // namespace skelder
