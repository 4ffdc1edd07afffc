// The recorder writer read back by the reference decoder, which shares no code with it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <stdexcept>

#include "box_walker.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "reference_decoder.hpp"
#include "tests/support/temp_dir.hpp"

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

struct LayoutCase {
    const char* name;
    RecordingOptions options;
    bool valuesDue = true;  // false: the header clock is off every rate's grid
};

std::vector<LayoutCase> layoutCases() {
    const auto with = [](auto change) {
        RecordingOptions o{.durationSeconds = 4, .valueAt = line};
        change(o);
        return o;
    };
    return {
        {"plain", with([](RecordingOptions&) {})},
        {"chunks of three in co64", with([](RecordingOptions& o) {
             o.samplesPerChunk = 3;
             o.useCo64 = true;
         })},
        {"header clock ahead", with([](RecordingOptions& o) { o.headerOffsetTicks = 3'000'000; })},
        {"header clock off the grid",
         with([](RecordingOptions& o) { o.headerOffsetTicks = 50'000; }), false},
        {"90 kHz in a version 1 header", with([](RecordingOptions& o) {
             o.timescale = 90000;
             o.mdhdVersion = 1;
         })},
        {"half-second packets",
         with([](RecordingOptions& o) { o.packetDurationTicks = 5'000'000; })},
        {"padding before the samples", with([](RecordingOptions& o) {
             o.mdatPaddingBytes = 4096;
             o.paddingBeforeSamples = true;
         })},
        {"video track first, gmhd, no adud", with([](RecordingOptions& o) {
             o.includeVideoTrack = true;
             o.mediaHeader = MediaHeader::gmhd;
             o.adud = std::nullopt;
         })},
    };
}

TEST(Recording, EveryLayoutDecodesToTheRequestedValuesAtTheirRates) {
    testing::TempDir dir;
    for (const LayoutCase& layout : layoutCases()) {
        SCOPED_TRACE(layout.name);
        const RecordingOptions& o = layout.options;
        const Bytes built = buildRecording(o);
        // On disk the padding is a hole, the bytes are the same.
        writeRecording(dir / "r.mp4", o);
        test::Mp4Source file(dir / "r.mp4");
        EXPECT_EQ(file.read(0, file.size()), built);

        const auto t = test::decodeTelemetry(test::Mp4Source(built));
        const std::uint64_t packets = 40'000'000 / o.packetDurationTicks;
        ASSERT_EQ(t.packets.size(), packets);
        for (std::size_t i = 0; i < packets; ++i) {
            EXPECT_EQ(t.packets[i].headerTicks, i * o.packetDurationTicks + o.headerOffsetTicks);
            EXPECT_DOUBLE_EQ(t.samples[i].ptsSeconds, double(i * o.packetDurationTicks) / 1e7);
        }
        std::map<std::uint16_t, std::vector<test::DecodedValue>> byChannel;
        for (const auto& v : t.values)
            byChannel[v.channelId].push_back(v);
        ASSERT_EQ(t.channels.size(), 8u);
        for (const auto& c : standardChannels()) {
            const auto& values = byChannel[c.id];
            ASSERT_EQ(values.size(), layout.valuesDue ? 40'000'000 / c.intervalTicks : 0) << c.tag;
            for (std::size_t i = 0; i < values.size(); ++i) {
                // Values are placed by presentation time, whatever the header clock says.
                const auto ticks = static_cast<std::int64_t>(i * c.intervalTicks);
                ASSERT_EQ(values[i].ticks, ticks) << c.tag;
                EXPECT_NEAR(values[i].value, line(c, double(ticks) / 1e7), gainOf(c) / 2 + 1e-9)
                    << c.tag << " at " << ticks;
            }
        }
    }
}

TEST(Recording, SlowRatesOffTheHeaderClockShiftTheirCycles) {
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

TEST(Recording, ExtraChannelsCarryBitfieldsAndRatelessRecords) {
    RecordingOptions o;
    o.durationSeconds = 2;
    for (const auto& c : extraChannels())
        o.channels.push_back(c);
    const auto t = test::decodeTelemetry(test::Mp4Source(buildRecording(o)));
    ASSERT_EQ(t.channels.size(), 11u);
    EXPECT_EQ(t.channels.at(kStatusFlagsChannel).calibrationType, 2);
    EXPECT_EQ(t.channels.at(kStatusFlagsChannel).mask, 0xFFu);
    std::map<std::uint16_t, std::vector<double>> values;
    for (const auto& v : t.values)
        values[v.channelId].push_back(v.value);
    EXPECT_EQ(values[kCoolantChannel], (std::vector<double>{90, 90}));
    EXPECT_EQ(values[kStatusFlagsChannel].size(), 20u);
    EXPECT_EQ(values[kStatusFlagsChannel].front(), 0x21);
    EXPECT_EQ(values.count(kBatteryChannel), 0u);
}

TEST(Recording, RefusesTimesItCannotWrite) {
    RecordingOptions o;
    o.headerOffsetTicks = -1;
    EXPECT_THROW(buildRecording(o), std::invalid_argument);
    for (const std::uint64_t ticks : {0u, 3u}) {  // no whole number of timescale units
        RecordingOptions p;
        p.packetDurationTicks = ticks;
        EXPECT_THROW(buildRecording(p), std::invalid_argument) << ticks;
    }
}

TEST(ByteWriter, BigEndianTerminatedTextAndPatchesUpToTheEnd) {
    ByteWriter w;
    w.u16(0x1234);
    w.cstring("ab");
    w.zeros(4);
    w.patchU32(5, 0xAABBCCDD);  // the last four bytes
    EXPECT_EQ(w.bytes(), (Bytes{0x12, 0x34, 'a', 'b', 0, 0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_THROW(w.patchU32(6, 1), std::out_of_range);
}

}  // namespace
}  // namespace skelder::kovra
