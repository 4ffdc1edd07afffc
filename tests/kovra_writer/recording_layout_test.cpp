#include <gtest/gtest.h>

#include <stdexcept>

#include "box_walker.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "reference_decoder.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::kovra {
namespace {

using test::Box;
using test::Mp4Source;
using Types = std::vector<std::string>;

// Standard channels per second: 10 Hz speed (u16) and gear (u8), 50 Hz throttle, brake, engine
// speed and steering (u16/i16), 100 Hz two accelerations (i16).
constexpr std::size_t kStandardPayloadPerSecond = 10 * 3 + 50 * 8 + 100 * 4;

std::string handlerOf(const Mp4Source& s, const Box& trak) {
    const auto h = s.read(s.child(*s.child(trak, "mdia"), "hdlr")->payload() + 8, 4);
    return {h.begin(), h.end()};
}

TEST(RecordingLayout, HoldsTheRecorderBoxTree) {
    Mp4Source s(buildRecording({}));
    EXPECT_EQ(types(s.topLevel()), (Types{"ftyp", "mdat", "moov"}));
    const auto moov = *s.find({"moov"});
    EXPECT_EQ(types(s.children(moov)), (Types{"mvhd", "trak"}));
    EXPECT_EQ(s.be(s.find({"moov", "mvhd"})->payload() + 96, 4), 2u);
    const auto trak = *s.find({"moov", "trak"});
    EXPECT_EQ(handlerOf(s, trak), "adrv");
    EXPECT_EQ(types(s.children(*s.find({"moov", "trak", "mdia", "minf"}))),
              (Types{"nmhd", "dinf", "stbl"}));
    const auto stbl = *s.find({"moov", "trak", "mdia", "minf", "stbl"});
    EXPECT_EQ(types(s.children(stbl)), (Types{"stsd", "stts", "stsc", "stsz", "stco"}));
    const auto entries = s.children(*s.child(stbl, "stsd"), 8);
    ASSERT_EQ(types(entries), (Types{"adco"}));
    EXPECT_EQ(types(s.children(entries[0], 8)), (Types{"adud", "adcr", "adcp"}));
}

TEST(RecordingLayout, StoresOneSecondPacketPerSample) {
    Mp4Source s(buildRecording({}));
    const auto t = test::decodeTelemetry(s);
    EXPECT_EQ(t.timescale, 1000u);
    const auto mdat = *s.find({"mdat"});
    ASSERT_EQ(t.samples.size(), 10u);
    ASSERT_EQ(t.packets.size(), 10u);
    std::uint64_t expectedOffset = mdat.payload();
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(t.samples[i].offset, expectedOffset);
        EXPECT_EQ(t.samples[i].size, 14 + kStandardPayloadPerSecond);
        EXPECT_DOUBLE_EQ(t.samples[i].ptsSeconds, static_cast<double>(i));
        EXPECT_EQ(t.packets[i].sampleIndex, i);
        EXPECT_EQ(t.packets[i].headerTicks, i * 10'000'000);
        EXPECT_EQ(t.packets[i].flags, 0);
        EXPECT_EQ(t.packets[i].payload.size(), kStandardPayloadPerSecond);
        expectedOffset += t.samples[i].size;
    }
    EXPECT_EQ(expectedOffset, mdat.end());
}

TEST(RecordingLayout, SampleEntryDescribesTheStandardChannels) {
    const auto t = test::decodeTelemetry(Mp4Source(buildRecording({})));
    ASSERT_EQ(t.rates.size(), 3u);
    EXPECT_EQ(t.rates[0].intervalTicks, 1'000'000u);
    EXPECT_EQ(t.rates[1].intervalTicks, 200'000u);
    EXPECT_EQ(t.rates[2].intervalTicks, 100'000u);
    using Ids = std::vector<std::pair<std::uint16_t, std::uint8_t>>;
    EXPECT_EQ(t.rates[0].channels, (Ids{{kSpeedChannel, kRawUInt16}, {kGearChannel, kRawUInt8}}));
    EXPECT_EQ(t.rates[1].channels, (Ids{{kThrottleChannel, kRawUInt16},
                                        {kBrakeChannel, kRawUInt16},
                                        {kEngineSpeedChannel, kRawUInt16},
                                        {kSteeringAngleChannel, kRawInt16}}));
    EXPECT_EQ(t.rates[2].channels,
              (Ids{{kLateralAccelChannel, kRawInt16}, {kLongitudinalAccelChannel, kRawInt16}}));
    ASSERT_EQ(t.channels.size(), 8u);
    EXPECT_EQ(t.channels.at(kSpeedChannel).tag, "com.kovra.channel.gps.speed");
    EXPECT_EQ(t.channels.at(kThrottleChannel).tag, "com.kovra.channel.throttle.position");
    EXPECT_EQ(t.channels.at(kBrakeChannel).tag, "com.kovra.channel.brake.position");
    EXPECT_EQ(t.channels.at(kEngineSpeedChannel).tag, "com.kovra.channel.enginespeed");
    EXPECT_EQ(t.channels.at(kGearChannel).tag, "com.kovra.channel.gear");
    EXPECT_EQ(t.channels.at(kLateralAccelChannel).tag, "com.kovra.channel.accelerometer.vehicle.x");
    EXPECT_EQ(t.channels.at(kLongitudinalAccelChannel).tag,
              "com.kovra.channel.accelerometer.vehicle.y");
    EXPECT_EQ(t.channels.at(kSteeringAngleChannel).tag, "com.kovra.channel.steeringangle");
    for (const auto& [id, channel] : t.channels) {
        EXPECT_EQ(channel.calibrationType, 1) << id;
    }
}

TEST(RecordingLayout, HeaderOffsetMovesHeadersButNotValueTimes) {
    RecordingOptions o;
    o.durationSeconds = 3;
    o.headerOffsetTicks = 3'000'000;
    const auto t = test::decodeTelemetry(Mp4Source(buildRecording(o)));
    ASSERT_EQ(t.packets.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(t.packets[i].headerTicks, i * 10'000'000 + 3'000'000);
        EXPECT_EQ(t.packets[i].payload.size(), kStandardPayloadPerSecond);
    }
    ASSERT_FALSE(t.values.empty());
    EXPECT_EQ(t.values.front().ticks, 0);
    EXPECT_EQ(t.values.back().ticks, 29'900'000);
}

TEST(RecordingLayout, HeaderOffsetOffTheRateGridLeavesPayloadsEmpty) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.headerOffsetTicks = 50'000;  // half the shortest interval: no rate is ever due
    const auto t = test::decodeTelemetry(Mp4Source(buildRecording(o)));
    ASSERT_EQ(t.packets.size(), 2u);
    EXPECT_TRUE(t.packets[0].payload.empty());
    EXPECT_TRUE(t.packets[1].payload.empty());
}

TEST(RecordingLayout, RejectsHeaderTimesBeforeZero) {
    RecordingOptions o;
    o.headerOffsetTicks = -1;
    EXPECT_THROW(buildRecording(o), std::invalid_argument);
}

TEST(RecordingLayout, TimescaleAndMediaHeaderVersionAreSelectable) {
    RecordingOptions o;
    o.durationSeconds = 3;
    o.timescale = 90000;
    o.mdhdVersion = 1;
    Mp4Source s(buildRecording(o));
    const auto mdhd = *s.find({"moov", "trak", "mdia", "mdhd"});
    EXPECT_EQ(s.be(mdhd.payload(), 1), 1u);
    EXPECT_EQ(s.be(mdhd.payload() + 20, 4), 90000u);
    EXPECT_EQ(s.be(mdhd.payload() + 24, 8), 270000u);
    const auto stts = *s.find({"moov", "trak", "mdia", "minf", "stbl", "stts"});
    EXPECT_EQ(s.read(stts.payload() + 4, 12), (Bytes{0, 0, 0, 1, 0, 0, 0, 3, 0, 1, 0x5F, 0x90}));
    const auto t = test::decodeTelemetry(s);
    ASSERT_EQ(t.samples.size(), 3u);
    EXPECT_DOUBLE_EQ(t.samples[2].ptsSeconds, 2.0);
}

TEST(RecordingLayout, ShorterPacketsGiveMoreSamples) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.packetDurationTicks = 5'000'000;
    const auto t = test::decodeTelemetry(Mp4Source(buildRecording(o)));
    ASSERT_EQ(t.packets.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(t.packets[i].headerTicks, i * 5'000'000);
        EXPECT_DOUBLE_EQ(t.samples[i].ptsSeconds, 0.5 * static_cast<double>(i));
        EXPECT_EQ(t.packets[i].payload.size(), kStandardPayloadPerSecond / 2);
    }
}

TEST(RecordingLayout, RejectsPacketsThatAreNoWholeNumberOfTimescaleUnits) {
    RecordingOptions o;
    o.packetDurationTicks = 3;
    EXPECT_THROW(buildRecording(o), std::invalid_argument);
    o.packetDurationTicks = 0;
    EXPECT_THROW(buildRecording(o), std::invalid_argument);
}

TEST(RecordingLayout, ChunksGroupConsecutiveSamples) {
    RecordingOptions o;
    o.samplesPerChunk = 3;
    Mp4Source s(buildRecording(o));
    const auto stbl = *s.find({"moov", "trak", "mdia", "minf", "stbl"});
    const auto stsc = *s.child(stbl, "stsc");
    EXPECT_EQ(s.read(stsc.payload() + 4, 28), (Bytes{0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0,
                                                     0, 1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 1}));
    const auto stco = *s.child(stbl, "stco");
    ASSERT_EQ(s.be(stco.payload() + 4, 4), 4u);
    const auto t = test::decodeTelemetry(s);
    ASSERT_EQ(t.samples.size(), 10u);
    for (std::size_t chunk = 0; chunk < 4; ++chunk) {
        EXPECT_EQ(s.be(stco.payload() + 8 + 4 * chunk, 4), t.samples[3 * chunk].offset);
    }
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(t.packets[i].headerTicks, i * 10'000'000);
    }
}

TEST(RecordingLayout, FewerSamplesThanAChunkMakeOneShortChunk) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.samplesPerChunk = 4;
    Mp4Source s(buildRecording(o));
    const auto stsc = *s.find({"moov", "trak", "mdia", "minf", "stbl", "stsc"});
    EXPECT_EQ(s.read(stsc.payload() + 4, 16),
              (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1}));
    EXPECT_EQ(test::decodeTelemetry(s).packets.size(), 2u);
}

TEST(RecordingLayout, Co64HoldsTheSameChunkOffsets) {
    RecordingOptions o;
    o.durationSeconds = 3;
    const auto plain = test::decodeTelemetry(Mp4Source(buildRecording(o)));
    o.useCo64 = true;
    Mp4Source s(buildRecording(o));
    const auto stbl = *s.find({"moov", "trak", "mdia", "minf", "stbl"});
    EXPECT_EQ(types(s.children(stbl)), (Types{"stsd", "stts", "stsc", "stsz", "co64"}));
    const auto wide = test::decodeTelemetry(s);
    ASSERT_EQ(wide.packets.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(wide.packets[i].headerTicks, plain.packets[i].headerTicks);
        EXPECT_EQ(wide.packets[i].payload, plain.packets[i].payload);
    }
}

TEST(RecordingLayout, VideoTrackComesBeforeTheTelemetryTrack) {
    RecordingOptions o;
    o.includeVideoTrack = true;
    Mp4Source s(buildRecording(o));
    const auto moov = *s.find({"moov"});
    const auto children = s.children(moov);
    ASSERT_EQ(types(children), (Types{"mvhd", "trak", "trak"}));
    EXPECT_EQ(handlerOf(s, children[1]), "vide");
    EXPECT_EQ(handlerOf(s, children[2]), "adrv");
    EXPECT_EQ(s.be(s.child(children[1], "tkhd")->payload() + 12, 4), 1u);
    EXPECT_EQ(s.be(s.child(children[2], "tkhd")->payload() + 12, 4), 2u);
    EXPECT_EQ(s.be(children[0].payload() + 96, 4), 3u);
    EXPECT_EQ(test::decodeTelemetry(s).packets.size(), 10u);
}

TEST(RecordingLayout, GenericMediaHeaderAndMissingAdudAreSelectable) {
    RecordingOptions o;
    o.mediaHeader = MediaHeader::gmhd;
    o.adud = std::nullopt;
    Mp4Source s(buildRecording(o));
    EXPECT_EQ(types(s.children(*s.find({"moov", "trak", "mdia", "minf"}))),
              (Types{"gmhd", "dinf", "stbl"}));
    const auto stsd = *s.find({"moov", "trak", "mdia", "minf", "stbl", "stsd"});
    EXPECT_EQ(types(s.children(s.children(stsd, 8).at(0), 8)), (Types{"adcr", "adcp"}));
}

TEST(RecordingLayout, ZeroDurationHasNoSamples) {
    RecordingOptions o;
    o.durationSeconds = 0;
    Mp4Source s(buildRecording(o));
    EXPECT_EQ(s.find({"mdat"})->size, 8u);
    const auto t = test::decodeTelemetry(s);
    EXPECT_TRUE(t.samples.empty());
    EXPECT_EQ(t.rates.size(), 3u);
}

TEST(RecordingLayout, PaddingFollowsOrPrecedesTheSamples) {
    RecordingOptions o;
    o.durationSeconds = 2;
    o.mdatPaddingBytes = 4096;
    Mp4Source after(buildRecording(o));
    const auto mdat = *after.find({"mdat"});
    const std::uint64_t samplesSize = 2 * (14 + kStandardPayloadPerSecond);
    EXPECT_EQ(mdat.size, 8 + samplesSize + 4096);
    EXPECT_EQ(test::decodeTelemetry(after).samples.front().offset, mdat.payload());
    EXPECT_EQ(after.read(mdat.payload() + samplesSize, 4096), Bytes(4096, 0));

    o.paddingBeforeSamples = true;
    Mp4Source before(buildRecording(o));
    const auto t = test::decodeTelemetry(before);
    ASSERT_EQ(t.packets.size(), 2u);
    EXPECT_EQ(t.samples.front().offset, before.find({"mdat"})->payload() + 4096);
    EXPECT_EQ(t.packets[1].headerTicks, 10'000'000u);
}

TEST(RecordingLayout, WrittenFileEqualsTheBuiltOne) {
    testing::TempDir dir;
    RecordingOptions o;
    o.durationSeconds = 3;
    o.includeVideoTrack = true;
    o.mdatPaddingBytes = 100'000;
    writeRecording(dir / "r.mp4", o);
    Mp4Source file(dir / "r.mp4");
    EXPECT_EQ(file.read(0, file.size()), buildRecording(o));
}

}  // namespace
}  // namespace skelder::kovra
