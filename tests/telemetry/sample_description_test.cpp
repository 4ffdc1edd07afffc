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

TEST(SampleDescription, AdudIsOptionalButAnUnterminatedRecordInItFails) {
    const auto channels = kovra::standardChannels();
    const Bytes adcr = kovra::adcrBox(kovra::ratesOf(channels));
    const Bytes adcp = kovra::adcpBox(channels);
    EXPECT_NO_THROW(parse(kovra::adcoBox({adcr, adcp})));
    kovra::ByteWriter badAdud;
    badAdud.u16(1);
    badAdud.cstring("Kovra");
    badAdud.u16(2);
    badAdud.raw(Bytes{'x', 'y'});
    EXPECT_DECODE_FAILED(parse(kovra::adcoBox({kovra::box("adud", badAdud.bytes()), adcr, adcp})),
                         "Missing null-terminated string terminator");
}

}  // namespace
}  // namespace skelder
