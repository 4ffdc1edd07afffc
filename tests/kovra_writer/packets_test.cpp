#include "kovra_writer/packets.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace skelder::kovra {
namespace {

ChannelDefinition channel(std::uint16_t id, std::uint8_t rawType = kRawUInt8) {
    return {.id = id, .rawType = rawType};
}

// Raw value 10 * cycle + channel id, so every byte names its cycle and channel.
double cycleAndId(const ChannelDefinition& c, std::uint64_t k) {
    return 10.0 * k + c.id;
}

TEST(Packets, EncodesTimestampFlagsLengthAndPayload) {
    EXPECT_EQ(encodePacket({0x0102030405060708, 0xABCD, {9, 8, 7}}),
              (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0xAB, 0xCD, 0, 0, 0, 3, 9, 8, 7}));
    EXPECT_EQ(encodePacket({}).size(), 14u);
}

TEST(Packets, CycleIntervalIsTheSmallestRateInterval) {
    EXPECT_EQ(cycleIntervalTicks({}), 1u);
    EXPECT_EQ(cycleIntervalTicks({{1'000'000, {}}, {200'000, {}}, {400'000, {}}}), 200'000u);
    EXPECT_EQ(cycleIntervalTicks({{0, {}}, {5, {}}}), 1u);
    EXPECT_EQ(cycleIntervalTicks({{std::numeric_limits<std::uint64_t>::max(), {}}}), 1u);
    EXPECT_EQ(cycleIntervalTicks({{(1ull << 63) + 5, {}}}), (1ull << 63) - 1);
}

TEST(Packets, PayloadCarriesDueRatesPerCycle) {
    // m = 1,000,000; header 10,000,000: both rates due in cycles 0 and 2, only the first in 1
    // and 3.
    const std::vector<Rate> rates = {{1'000'000, {channel(1)}}, {2'000'000, {channel(2)}}};
    EXPECT_EQ(packetPayload(rates, 10'000'000, 4, cycleAndId), (Bytes{1, 2, 11, 21, 22, 31}));
}

TEST(Packets, ChannelsOfADueRateFollowInChannelOrder) {
    const std::vector<Rate> rates = {{100, {channel(3), channel(1, kRawInt16), channel(2)}}};
    EXPECT_EQ(packetPayload(rates, 0, 2, cycleAndId), (Bytes{3, 0, 1, 2, 13, 0, 11, 12}));
}

TEST(Packets, HeaderOffTheRateGridGivesAnEmptyPayload) {
    const std::vector<Rate> rates = {{1'000'000, {channel(1)}}};
    EXPECT_TRUE(packetPayload(rates, 10'500'000, 10, cycleAndId).empty());
}

TEST(Packets, PayloadEndsAtTheFirstCycleWithoutDueRate) {
    // m = 1,000,000 from header 1,500,000: cycle 0 has the 1.5e6 rate due, cycle 1 (2.5e6) none;
    // cycle 3 (4.5e6) would have it due again, but readers stop at cycle 1.
    const std::vector<Rate> rates = {{1'000'000, {channel(1)}}, {1'500'000, {channel(2)}}};
    EXPECT_EQ(packetPayload(rates, 1'500'000, 4, cycleAndId), (Bytes{2}));
}

TEST(Packets, ZeroIntervalRateIsNeverDue) {
    // Its interval 0 makes m = 1, so only cycle 0 (header 0) has the other rate due.
    const std::vector<Rate> rates = {{0, {channel(1)}}, {1'000'000, {channel(2)}}};
    EXPECT_EQ(packetPayload(rates, 0, 5, cycleAndId), (Bytes{2}));
}

TEST(Packets, RateWithoutChannelsDoesNotKeepTheWalkGoing) {
    const std::vector<Rate> rates = {{100, {}}, {300, {channel(1)}}};
    EXPECT_EQ(packetPayload(rates, 0, 3, cycleAndId), (Bytes{1}));
}

TEST(Packets, UnknownRawTypeTakesFourZeroBytes) {
    const std::vector<Rate> rates = {{100, {channel(1, 0), channel(2)}}};
    EXPECT_EQ(packetPayload(rates, 0, 1, cycleAndId), (Bytes{0, 0, 0, 0, 2}));
}

TEST(Packets, AsksForValuesWithTheirChannelAndCycle) {
    const std::vector<Rate> rates = {{200, {channel(1)}}, {100, {channel(2)}}};
    std::vector<std::pair<std::uint16_t, std::uint64_t>> asked;
    packetPayload(rates, 0, 3, [&](const ChannelDefinition& c, std::uint64_t k) {
        asked.emplace_back(c.id, k);
        return 0.0;
    });
    const std::vector<std::pair<std::uint16_t, std::uint64_t>> expected = {
        {1, 0}, {2, 0}, {2, 1}, {1, 2}, {2, 2}};
    EXPECT_EQ(asked, expected);
}

}  // namespace
}  // namespace skelder::kovra
