#include "telemetry/sample_description.hpp"

#include <gtest/gtest.h>

#include "kovra_writer/kovra_writer.hpp"
#include "tests/support/extraction_matchers.hpp"

namespace skelder {
namespace {

using kovra::Bytes;

TelemetrySampleDescription parse(const Bytes& adco) {
    return parseAdcoSampleEntry(adco,
                                parseBoxHeader(adco, 0, static_cast<std::int64_t>(adco.size())));
}

kovra::ChannelDefinition channel(std::uint16_t id, std::string tag, kovra::Calibration calibration,
                                 std::uint8_t rawType, std::uint64_t interval) {
    return {id, std::move(tag), calibration, rawType, interval};
}

TEST(SampleDescription, RatesChannelsAndCalibrations) {
    const std::vector<kovra::ChannelDefinition> channels{
        channel(1, "com.kovra.channel.gps.speed", kovra::NumericCalibration{0.01, -1, 0, 60000},
                kovra::kRawUInt16, 1'000'000),
        channel(2, "com.kovra.channel.status", kovra::BitfieldCalibration{0x0F, 2, 3},
                kovra::kRawUInt8, 200'000),
        channel(3, "com.kovra.channel.raw", kovra::NoCalibration{}, kovra::kRawFloat32, 1'000'000),
    };
    const auto description = parse(kovra::adcoSampleEntryBox(channels, std::nullopt));
    ASSERT_EQ(description.rates.size(), 2u);
    EXPECT_EQ(description.rates[0].intervalTicks, 1'000'000u);
    ASSERT_EQ(description.rates[0].channels.size(), 2u);
    EXPECT_EQ(description.rates[0].channels[1].channelID, 3);
    EXPECT_EQ(description.rates[0].channels[1].rawType, kovra::kRawFloat32);
    EXPECT_EQ(description.rates[1].intervalTicks, 200'000u);
    EXPECT_EQ(description.minimumIntervalTicks, 200'000u);

    ASSERT_EQ(description.channels.size(), 3u);
    const ChannelInfo& speed = description.channels.at(1);
    EXPECT_EQ(speed.tag, "com.kovra.channel.gps.speed");
    EXPECT_EQ(speed.calibrationType, 1);
    EXPECT_EQ(speed.rawType, kovra::kRawUInt16);
    const auto& numeric = std::get<NumericCalibration>(speed.calibration);
    EXPECT_EQ(numeric.gain, 0.01);
    EXPECT_EQ(numeric.offset, -1);
    EXPECT_EQ(numeric.minRaw, 0);
    EXPECT_EQ(numeric.maxRaw, 60000);
    EXPECT_EQ(std::get<BitfieldCalibration>(description.channels.at(2).calibration).mask, 0x0Fu);
    EXPECT_TRUE(std::holds_alternative<NoCalibration>(description.channels.at(3).calibration));
}

TEST(SampleDescription, ChannelWithoutRateUsesItsDeclaredTypeForLimits) {
    auto battery = channel(9, "com.kovra.channel.battery",
                           kovra::NumericCalibration{1, 0, -5, 70000}, kovra::kRawInt32, 1'000'000);
    battery.listedInRates = false;
    const auto description = parse(kovra::adcoSampleEntryBox({battery}, std::nullopt));
    EXPECT_TRUE(description.rates.empty());
    EXPECT_EQ(description.minimumIntervalTicks, 1u);  // no group at all
    const ChannelInfo& info = description.channels.at(9);
    EXPECT_FALSE(info.rawType.has_value());
    EXPECT_EQ(std::get<NumericCalibration>(info.calibration).minRaw, -5);
    EXPECT_EQ(std::get<NumericCalibration>(info.calibration).maxRaw, 70000);
}

TEST(SampleDescription, BitfieldWithoutDefinitionsMasksNothing) {
    const auto description = parse(kovra::adcoSampleEntryBox(
        {channel(4, "flags", kovra::BitfieldCalibration{0x1, 0, 0}, kovra::kRawUInt16, 1'000'000)},
        std::nullopt));
    EXPECT_EQ(std::get<BitfieldCalibration>(description.channels.at(4).calibration).mask,
              ~std::uint64_t{0});
}

TEST(SampleDescription, RepeatedChannelKeepsTheLaterRecord) {
    const auto first = channel(5, "first", kovra::NoCalibration{}, kovra::kRawUInt8, 1'000'000);
    auto second = channel(5, "second", kovra::NoCalibration{}, kovra::kRawUInt8, 1'000'000);
    second.listedInRates = false;
    const auto description = parse(kovra::adcoSampleEntryBox({first, second}, std::nullopt));
    EXPECT_EQ(description.channels.at(5).tag, "second");
}

TEST(SampleDescription, StructuralFailures) {
    const auto channels = kovra::standardChannels();
    const Bytes adcr = kovra::adcrBox(kovra::ratesOf(channels));
    const Bytes adcp = kovra::adcpBox(channels);

    EXPECT_NO_THROW(parse(kovra::adcoBox({adcr, adcp})));  // adud is optional
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({adcr})), "adco missing required adcr/adcp boxes");
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({adcp})), "adco missing required adcr/adcp boxes");
    EXPECT_DECODE_FAILED(parse(kovra::box("adco", Bytes(7, 0))),
                         "Invalid adco sample entry payload");

    // The adud content is never used, but a record without terminator still fails.
    kovra::ByteWriter badAdud;
    badAdud.u16(1);
    badAdud.cstring("Kovra");
    badAdud.u16(2);
    badAdud.raw(Bytes{'x', 'y'});
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({kovra::box("adud", badAdud.bytes()), adcr, adcp})),
                         "Missing null-terminated string terminator");
}

TEST(SampleDescription, TruncatedRecordsFailOutOfBounds) {
    // A parameter record that ends right after its tag's terminator.
    kovra::ByteWriter record;
    record.u16(1);
    record.cstring("com.kovra.channel.gear");
    const Bytes adcr = kovra::adcrBox({});
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({adcr, kovra::box("adcp", record.bytes())})),
                         "Binary read out of bounds");

    // A rate whose channel list is cut off.
    kovra::ByteWriter rates;
    rates.u8(1);
    rates.u8(0);
    rates.u8(1);
    rates.u64(1'000'000);
    rates.u16(2);
    rates.u16(7);
    rates.u8(2);
    EXPECT_DECODE_FAILED(
        parse(kovra::adcoBox({kovra::box("adcr", rates.bytes()), kovra::adcpBox({})})),
        "Binary read out of bounds");

    // A tag that runs to the end of the box without terminator.
    kovra::ByteWriter tag;
    tag.u16(1);
    tag.raw(Bytes{'a', 'b'});
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({adcr, kovra::box("adcp", tag.bytes())})),
                         "Missing null-terminated string terminator");
}

TEST(SampleDescription, GroupsAndMinimumInterval) {
    // Two groups; bytes after the last group are ignored.
    kovra::ByteWriter rates;
    rates.u8(2);
    for (std::uint64_t interval : {1'000'000ull, 200'000ull}) {
        rates.u8(0);
        rates.u8(1);
        rates.u64(interval);
        rates.u16(1);
        rates.u16(static_cast<std::uint16_t>(interval / 100'000));
        rates.u8(kovra::kRawUInt8);
    }
    rates.raw(Bytes{0xDE, 0xAD});
    const auto description =
        parse(kovra::adcoBox({kovra::box("adcr", rates.bytes()), kovra::adcpBox({})}));
    ASSERT_EQ(description.rates.size(), 2u);
    EXPECT_EQ(description.minimumIntervalTicks, 200'000u);

    kovra::ByteWriter none;
    none.u8(0);
    const auto empty =
        parse(kovra::adcoBox({kovra::box("adcr", none.bytes()), kovra::adcpBox({})}));
    EXPECT_TRUE(empty.rates.empty());
    EXPECT_EQ(empty.minimumIntervalTicks, 1u);
}

}  // namespace
}  // namespace skelder
