#include "kovra_writer/kovra_channels.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace skelder::kovra {
namespace {

Bytes rawBytes(std::uint8_t rawType, double value) {
    ByteWriter w;
    appendRawValue(w, rawType, value);
    return std::move(w).take();
}

TEST(RawValues, TypeSizesFollowTheCodeTable) {
    const std::size_t expected[] = {4, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 4};
    for (std::uint8_t code = 0; code <= 11; ++code) {
        EXPECT_EQ(rawTypeSize(code), expected[code]) << "code " << int(code);
    }
    EXPECT_EQ(rawTypeSize(255), 4u);
}

TEST(RawValues, WritesEachTypeBigEndian) {
    EXPECT_EQ(rawBytes(kRawInt8, -2), (Bytes{0xFE}));
    EXPECT_EQ(rawBytes(kRawUInt8, 200), (Bytes{0xC8}));
    EXPECT_EQ(rawBytes(kRawInt16, -2), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(rawBytes(kRawUInt16, 65534), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(rawBytes(kRawInt32, -70000), (Bytes{0xFF, 0xFE, 0xEE, 0x90}));
    EXPECT_EQ(rawBytes(kRawUInt32, 4000000000.0), (Bytes{0xEE, 0x6B, 0x28, 0x00}));
    EXPECT_EQ(rawBytes(kRawInt64, -1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawUInt64, 4294967296.0), (Bytes{0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(rawBytes(kRawFloat32, 1.5), (Bytes{0x3F, 0xC0, 0, 0}));
    EXPECT_EQ(rawBytes(kRawFloat64, -2.0), (Bytes{0xC0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RawValues, RoundsIntegersToNearest) {
    EXPECT_EQ(rawBytes(kRawInt16, 1.4), (Bytes{0, 1}));
    EXPECT_EQ(rawBytes(kRawInt16, 1.6), (Bytes{0, 2}));
    EXPECT_EQ(rawBytes(kRawInt16, 2.5), (Bytes{0, 3}));
    EXPECT_EQ(rawBytes(kRawInt16, -2.5), (Bytes{0xFF, 0xFD}));
    EXPECT_EQ(rawBytes(kRawUInt8, 254.6), (Bytes{0xFF}));
}

TEST(RawValues, SaturatesIntegersToTheTypeRange) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(rawBytes(kRawInt8, 200), (Bytes{0x7F}));
    EXPECT_EQ(rawBytes(kRawInt8, -1000), (Bytes{0x80}));
    EXPECT_EQ(rawBytes(kRawUInt8, -5), (Bytes{0x00}));
    EXPECT_EQ(rawBytes(kRawUInt8, 255.4), (Bytes{0xFF}));
    EXPECT_EQ(rawBytes(kRawUInt16, 70000), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawInt16, inf), (Bytes{0x7F, 0xFF}));
    EXPECT_EQ(rawBytes(kRawInt16, -inf), (Bytes{0x80, 0x00}));
    EXPECT_EQ(rawBytes(kRawUInt32, 1e10), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawInt64, 1e30), (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawInt64, 9223372036854775808.0),
              (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawInt64, 9223372036854774784.0),
              (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC, 0x00}));
    EXPECT_EQ(rawBytes(kRawInt64, -1e30), (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rawBytes(kRawUInt64, 1e30), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rawBytes(kRawUInt64, -1), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rawBytes(kRawInt32, std::nan("")), (Bytes{0, 0, 0, 0}));
}

TEST(RawValues, UnknownTypesWriteNothing) {
    EXPECT_TRUE(rawBytes(0, 12).empty());
    EXPECT_TRUE(rawBytes(11, 12).empty());
    EXPECT_TRUE(rawBytes(255, 12).empty());
}

TEST(RawValues, RawForCalibratedInvertsNumericCalibration) {
    ChannelDefinition channel;
    channel.calibration = NumericCalibration{0.1, -40, 0, 1000};
    EXPECT_DOUBLE_EQ(rawForCalibrated(channel, 60), 1000);
    EXPECT_DOUBLE_EQ(rawForCalibrated(channel, -40), 0);
    channel.calibration = NumericCalibration{0, 5, 0, 1};
    EXPECT_EQ(rawForCalibrated(channel, 60), 0);
    channel.calibration = BitfieldCalibration{0x0F};
    EXPECT_EQ(rawForCalibrated(channel, 171), 171);
    channel.calibration = NoCalibration{};
    EXPECT_EQ(rawForCalibrated(channel, -3.25), -3.25);
}

TEST(Rates, GroupsListedChannelsByIntervalInOrderOfFirstAppearance) {
    std::vector<ChannelDefinition> channels(5);
    const std::uint64_t intervals[] = {1'000'000, 200'000, 1'000'000, 100'000, 200'000};
    for (std::uint16_t i = 0; i < 5; ++i) {
        channels[i].id = static_cast<std::uint16_t>(i + 10);
        channels[i].intervalTicks = intervals[i];
    }
    channels[3].listedInRates = false;
    const auto rates = ratesOf(channels);
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_EQ(rates[0].intervalTicks, 1'000'000u);
    ASSERT_EQ(rates[0].channels.size(), 2u);
    EXPECT_EQ(rates[0].channels[0].id, 10);
    EXPECT_EQ(rates[0].channels[1].id, 12);
    EXPECT_EQ(rates[1].intervalTicks, 200'000u);
    ASSERT_EQ(rates[1].channels.size(), 2u);
    EXPECT_EQ(rates[1].channels[0].id, 11);
    EXPECT_EQ(rates[1].channels[1].id, 14);
}

}  // namespace
}  // namespace skelder::kovra
