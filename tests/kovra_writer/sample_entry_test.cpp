#include "kovra_writer/sample_entry.hpp"

#include <gtest/gtest.h>

#include "box_walker.hpp"

namespace skelder::kovra {
namespace {

// Payload of a box built by the writer, after checking its 8-byte header.
Bytes payloadOf(const Bytes& box, const char* type) {
    EXPECT_GE(box.size(), 8u);
    EXPECT_EQ(std::string(box.begin() + 4, box.begin() + 8), type);
    const std::uint32_t size = std::uint32_t{box[0]} << 24 | std::uint32_t{box[1]} << 16 |
                               std::uint32_t{box[2]} << 8 | box[3];
    EXPECT_EQ(size, box.size());
    return Bytes(box.begin() + 8, box.end());
}

ChannelDefinition channel(std::uint16_t id, std::string tag, std::uint8_t rawType,
                          std::uint64_t interval, Calibration calibration = NoCalibration{}) {
    return {.id = id,
            .tag = std::move(tag),
            .calibration = calibration,
            .rawType = rawType,
            .intervalTicks = interval};
}

TEST(SampleEntry, AdudHoldsKeyAndTerminatedText) {
    EXPECT_EQ(adudBox({{1, "ab"}, {0x0203, ""}}),
              (Bytes{0, 0, 0, 16, 'a', 'd', 'u', 'd', 0, 1, 'a', 'b', 0, 2, 3, 0}));
}

TEST(SampleEntry, AdcrListsOneGroupOfRatesWithChannelTypes) {
    std::vector<ChannelDefinition> channels = {
        channel(1, "a", kRawInt16, 1'000'000), channel(2, "b", kRawUInt8, 200'000),
        channel(3, "c", kRawFloat32, 1'000'000), channel(4, "d", kRawInt8, 5)};
    channels[3].listedInRates = false;
    const Bytes expected = {1,     // group count
                            0, 2,  // group byte, rate count
                            0, 0, 0,         0, 0, 0x0F,        0x42, 0x40,  // 1,000,000 ticks
                            0, 2,                                            // channels
                            0, 1, kRawInt16, 0, 3, kRawFloat32,              //
                            0, 0, 0,         0, 0, 0x03,        0x0D, 0x40,  // 200,000 ticks
                            0, 1,                                            //
                            0, 2, kRawUInt8};
    EXPECT_EQ(payloadOf(adcrBox(ratesOf(channels)), "adcr"), expected);
}

TEST(SampleEntry, AdcrSplitsLongRateTablesIntoGroupsOf255) {
    std::vector<Rate> rates(256);
    for (std::size_t i = 0; i < rates.size(); ++i)
        rates[i].intervalTicks = 1000 + i;
    const Bytes payload = payloadOf(adcrBox(rates), "adcr");
    // Group count, then per group: group byte, rate count, rates of 10 bytes (no channels).
    ASSERT_EQ(payload.size(), 1u + 2 + 255 * 10 + 2 + 10);
    EXPECT_EQ(payload[0], 2);
    EXPECT_EQ(payload[2], 255);
    EXPECT_EQ(payload[3 + 255 * 10 + 1], 1);
    EXPECT_EQ(payload[3 + 255 * 10 + 2 + 7], (1000 + 255) & 0xFF);  // low byte of the last interval
    EXPECT_THROW(adcrBox(std::vector<Rate>(255 * 255 + 1)), std::invalid_argument);
}

TEST(SampleEntry, AdcrWithoutRatesHasNoGroups) {
    EXPECT_EQ(adcrBox({}), (Bytes{0, 0, 0, 9, 'a', 'd', 'c', 'r', 0}));
}

TEST(SampleEntry, NumericRecordHoldsGainOffsetAndLimitsInTheRawType) {
    const auto c = channel(7, "t", kRawInt16, 100, NumericCalibration{0.5, -1, -100, 100});
    const Bytes expected = {0,    7,    't',  0,   0, 0, 1, kRawInt16,  // id, tag, unused, type
                            0x3F, 0xE0, 0,    0,   0, 0, 0, 0,          // gain 0.5
                            0xBF, 0xF0, 0,    0,   0, 0, 0, 0,          // offset -1
                            0xFF, 0x9C, 0x00, 0x64};                    // -100, 100
    EXPECT_EQ(payloadOf(adcpBox({c}), "adcp"), expected);
}

TEST(SampleEntry, NumericLimitsUseTheRateTypeOrTheDeclaredTypeWithoutRate) {
    auto listed = channel(1, "", kRawUInt8, 100, NumericCalibration{1, 0, 1, 2});
    listed.declaredRawType = kRawInt32;
    auto unlisted = listed;
    unlisted.listedInRates = false;
    const Bytes head = {0, 1, 0, 0, 0, 1, kRawInt32, 0x3F, 0xF0, 0, 0, 0,
                        0, 0, 0, 0, 0, 0, 0,         0,    0,    0, 0};
    Bytes expectedListed = head;
    expectedListed.insert(expectedListed.end(), {1, 2});
    Bytes expectedUnlisted = head;
    expectedUnlisted.insert(expectedUnlisted.end(), {0, 0, 0, 1, 0, 0, 0, 2});
    EXPECT_EQ(payloadOf(adcpBox({listed}), "adcp"), expectedListed);
    EXPECT_EQ(payloadOf(adcpBox({unlisted}), "adcp"), expectedUnlisted);
}

TEST(SampleEntry, InfiniteLimitsSaturateToTheTypeRange) {
    const auto c = channel(2, "", kRawUInt16, 100, NumericCalibration{});
    const Bytes payload = payloadOf(adcpBox({c}), "adcp");
    ASSERT_EQ(payload.size(), 2u + 1 + 2 + 2 + 16 + 4);
    EXPECT_EQ(Bytes(payload.end() - 4, payload.end()), (Bytes{0, 0, 0xFF, 0xFF}));
}

TEST(SampleEntry, BitfieldRecordStoresTheMaskAsFirstValueInDeclaredWidth) {
    const auto c = channel(11, "f", kRawUInt16, 100, BitfieldCalibration{0x0F, 1, 1});
    Bytes expected = {0, 11, 'f', 0, 0, 0, 2, kRawUInt16, 1};
    expected.insert(expected.end(), {'b', 'i', 't', 's', '0', 0});
    expected.insert(expected.end(), {0x00, 0x0F});
    expected.insert(expected.end(), {'d', 'e', 'f', 'a', 'u', 'l', 't', '0', 0, 0, 0});
    expected.push_back(1);
    expected.insert(expected.end(), {'o', 'p', 't', 'i', 'o', 'n', '0', '.', '0', 0, 0, 0});
    EXPECT_EQ(payloadOf(adcpBox({c}), "adcp"), expected);
}

TEST(SampleEntry, BitfieldOfUnknownTypeUsesFourByteValues) {
    const auto c = channel(1, "", 0, 100, BitfieldCalibration{0xABCD, 1, 0});
    const Bytes expected = {0,   1,   0,   0,   0, 2,    0,    1,   'b', 'i', 't',
                            's', '0', 0,   0,   0, 0xAB, 0xCD, 'd', 'e', 'f', 'a',
                            'u', 'l', 't', '0', 0, 0,    0,    0,   0,   0};
    EXPECT_EQ(payloadOf(adcpBox({c}), "adcp"), expected);
}

TEST(SampleEntry, BitfieldWithoutDefinitionsHasOnlyTheCount) {
    const auto c = channel(1, "", kRawUInt8, 100, BitfieldCalibration{0x0F, 0});
    EXPECT_EQ(payloadOf(adcpBox({c}), "adcp"), (Bytes{0, 1, 0, 0, 0, 2, kRawUInt8, 0}));
}

TEST(SampleEntry, RecordWithoutCalibrationEndsAfterTheRawType) {
    auto c = channel(3, "x", kRawInt8, 100);
    EXPECT_EQ(payloadOf(adcpBox({c}), "adcp"), (Bytes{0, 3, 'x', 0, 0, 0, 0, kRawInt8}));
    c.calibration = NoCalibration{1};  // forged: numeric type without its data
    EXPECT_EQ(payloadOf(adcpBox({c, c}), "adcp"),
              (Bytes{0, 3, 'x', 0, 0, 0, 1, kRawInt8, 0, 3, 'x', 0, 0, 0, 1, kRawInt8}));
}

TEST(SampleEntry, AdcoHasReservedBytesDataReferenceAndChildren) {
    EXPECT_EQ(adcoBox({}), (Bytes{0, 0, 0, 16, 'a', 'd', 'c', 'o', 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(adcoBox({Bytes{0xAA}}),
              (Bytes{0, 0, 0, 17, 'a', 'd', 'c', 'o', 0, 0, 0, 0, 0, 0, 0, 1, 0xAA}));
}

TEST(SampleEntry, RecorderEntryHoldsAdudAdcrAdcpInOrder) {
    const std::vector<ChannelDefinition> channels = {channel(1, "a", kRawInt16, 100)};
    test::Mp4Source with(adcoSampleEntryBox(channels, std::vector<AdudRecord>{{5, "x"}}));
    const auto entry = with.topLevel();
    ASSERT_EQ(types(entry), std::vector<std::string>{"adco"});
    const auto children = with.children(entry[0], 8);
    EXPECT_EQ(types(children), (std::vector<std::string>{"adud", "adcr", "adcp"}));
    EXPECT_EQ(with.read(children[0].payload(), 4), (Bytes{0, 5, 'x', 0}));

    test::Mp4Source without(adcoSampleEntryBox(channels, std::nullopt));
    EXPECT_EQ(types(without.children(without.topLevel()[0], 8)),
              (std::vector<std::string>{"adcr", "adcp"}));
}

}  // namespace
}  // namespace skelder::kovra
