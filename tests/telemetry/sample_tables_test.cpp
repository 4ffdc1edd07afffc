#include "telemetry/sample_tables.hpp"

#include <gtest/gtest.h>

#include "telemetry/packets.hpp"
#include "tests/support/extraction_matchers.hpp"
#include "tests/support/forged_recording.hpp"

namespace skelder {
namespace {

using kovra::Bytes;
using testing::ForgedRecording;

MP4BoxHeader headerOf(const Bytes& box) {
    return parseBoxHeader(box, 0, static_cast<std::int64_t>(box.size()));
}

TEST(TrackSearch, ChoosesTheFirstAdrvTrack) {
    ForgedRecording recording;
    recording.leadingTraks = {kovra::emptyVideoTrakBox(1, 1000, 3000)};
    const Bytes file = recording.build();
    const TelemetryTrackInfo track = findTelemetryTrack(file);
    EXPECT_EQ(track.description.channels.size(), kovra::standardChannels().size());
    // The telemetry track is the second trak of the movie.
    const auto top = listChildBoxes(file, 0, static_cast<std::int64_t>(file.size()));
    const auto moovChildren = listChildBoxes(file, *findFirstBox(top, "moov"));
    std::vector<std::int64_t> trakOffsets;
    for (const auto& box : moovChildren) {
        if (box.type == "trak")
            trakOffsets.push_back(box.offset);
    }
    ASSERT_EQ(trakOffsets.size(), 2u);
    EXPECT_EQ(track.trak.offset, trakOffsets[1]);
}

TEST(TrackSearch, ShortHandlerEndsTheSearchEvenBeforeAValidTrack) {
    kovra::TrackTables video;
    video.handlerType = "vide";
    video.editMdia = [](std::vector<Bytes>& children) {
        testing::replaceBox(children, "hdlr", kovra::box("hdlr", Bytes(8, 0)));
    };
    ForgedRecording recording;
    recording.leadingTraks = {kovra::trakBox(video)};
    EXPECT_DECODE_FAILED(findTelemetryTrack(recording.build()), "Invalid hdlr payload size");
}

TEST(TrackSearch, ListsTheEntryTypesWhenAdcoIsMissing) {
    ForgedRecording recording;
    recording.editTables = [](kovra::TrackTables& tables) {
        tables.sampleEntries = {kovra::box("mp4v", Bytes(8, 0)), kovra::box("text", Bytes(8, 0))};
    };
    EXPECT_EXTRACTION_ERROR(
        findTelemetryTrack(recording.build()), telemetryMissing,
        "Telemetry track present but 'adco' sample entry not found (stsd: mp4v, text)");
    recording.editTables = [](kovra::TrackTables& tables) { tables.sampleEntries.clear(); };
    EXPECT_EXTRACTION_ERROR(findTelemetryTrack(recording.build()), telemetryMissing,
                            "Telemetry track present but 'adco' sample entry not found (stsd: )");
}

TEST(SampleTables, StcoIsPreferredOverCo64) {
    ForgedRecording recording;
    recording.editTables = [](kovra::TrackTables& tables) {
        const std::vector<std::uint64_t> offsets = tables.chunkOffsets;
        tables.editStbl = [offsets](std::vector<Bytes>& children) {
            // A co64 pointing nowhere comes first; the stco must still win.
            std::vector<std::uint64_t> wrong(offsets.size(), 1u << 30);
            children.insert(children.begin() + 1, kovra::chunkOffsetBox(wrong, true));
        };
    };
    const Bytes file = recording.build();
    const auto track = findTelemetryTrack(file);
    const auto tables = readTelemetrySampleTables(file, track.trak, file.size());
    ASSERT_EQ(tables.chunkOffsets.size(), 3u);
    EXPECT_LT(tables.chunkOffsets[0], static_cast<std::int64_t>(file.size()));
}

TEST(SampleTables, DefaultSampleSizeNeedsNoTable) {
    kovra::TrackTables tables;
    tables.defaultSampleSize = 512;
    tables.sampleCountField = 3;
    Bytes file = kovra::trakBox(tables);
    file.resize(4096, 0);  // the samples' bytes exist
    const auto stbl = stblChildren(file, headerOf(file));
    const SampleSizes sizes = readSampleSizes(file, stbl.stsz, file.size());
    ASSERT_EQ(sizes.count(), 3u);
    EXPECT_EQ(sizes.at(0), 512);
    EXPECT_EQ(sizes.at(2), 512);
    // Samples that need more bytes than the file holds are a broken table, not a reason to
    // walk four billion samples; the message says what is wrong with the table.
    tables.sampleCountField = 0xFFFFFFFF;
    const Bytes huge = kovra::trakBox(tables);
    EXPECT_DECODE_FAILED(readSampleSizes(huge, stblChildren(huge, headerOf(huge)).stsz, 4096),
                         "stsz default sample size runs past the end of the file (4294967295 "
                         "samples of 512 bytes, file of 4096 bytes)");
    tables.sampleCountField = 8;
    const Bytes eight = kovra::trakBox(tables);
    EXPECT_EQ(readSampleSizes(eight, stblChildren(eight, headerOf(eight)).stsz, 4096).count(), 8u);
    EXPECT_DECODE_FAILED(readSampleSizes(eight, stblChildren(eight, headerOf(eight)).stsz, 4095),
                         "stsz default sample size runs past the end of the file (8 samples of "
                         "512 bytes, file of 4095 bytes)");
}

TEST(SampleLocations, SampleToChunkMapping) {
    const std::vector<std::int64_t> chunks{100, 200, 300};
    const std::vector<StscEntry> single{{1, 2, 1}};
    const auto six = sampleLocations(
        SampleSizes(std::vector<std::uint32_t>{10, 11, 12, 13, 14, 15}), chunks, single);
    ASSERT_EQ(six.size(), 6u);
    EXPECT_EQ(six[0], (SampleLocation{100, 10}));
    EXPECT_EQ(six[1], (SampleLocation{110, 11}));
    EXPECT_EQ(six[2], (SampleLocation{200, 12}));
    EXPECT_EQ(six[5], (SampleLocation{314, 15}));
    // The map places six samples but only five sizes exist: mapping stops at the last one.
    EXPECT_EQ(sampleLocations(SampleSizes(std::vector<std::uint32_t>(5, 1)), chunks, single).size(),
              5u);
    EXPECT_DECODE_FAILED(
        sampleLocations(SampleSizes(std::vector<std::uint32_t>(7, 1)), chunks, single),
        "stsc mapping did not cover all samples");
    EXPECT_DECODE_FAILED(sampleLocations(SampleSizes(std::vector<std::uint32_t>(1, 1)), chunks, {}),
                         "stsc has no entries");

    // Entries with a first chunk of 0 or beyond the table contribute nothing.
    const std::vector<StscEntry> mixed{{0, 5, 1}, {2, 1, 1}, {3, 2, 1}, {9, 4, 1}};
    const auto located =
        sampleLocations(SampleSizes(std::vector<std::uint32_t>(3, 4)), chunks, mixed);
    ASSERT_EQ(located.size(), 3u);
    EXPECT_EQ(located[0].offset, 200);
    EXPECT_EQ(located[1].offset, 300);
    EXPECT_EQ(located[2].offset, 304);
}

TEST(SampleTimes, EntriesThenOneTickSteps) {
    const Bytes stts = kovra::sttsBox({{2, 100}});
    const auto times = sampleTimes(stts, headerOf(stts), 4, 1000);
    ASSERT_EQ(times.size(), 4u);
    EXPECT_DOUBLE_EQ(times[0], 0.0);
    EXPECT_DOUBLE_EQ(times[1], 0.1);
    EXPECT_DOUBLE_EQ(times[2], 0.101);
    EXPECT_DOUBLE_EQ(times[3], 0.102);

    // Entries of zero samples are skipped; reading stops once enough times exist.
    kovra::ByteWriter partial;
    partial.u32(0);
    partial.u32(3);
    partial.u32(0);
    partial.u32(7);
    partial.u32(2);
    partial.u32(50);
    const Bytes cut = kovra::box("stts", partial.bytes());  // third entry missing
    const auto two = sampleTimes(cut, headerOf(cut), 2, 100);
    EXPECT_DOUBLE_EQ(two[1], 0.5);
    EXPECT_DECODE_FAILED(sampleTimes(cut, headerOf(cut), 3, 100), "stts table truncated");

    const Bytes none = kovra::sttsBox({});
    EXPECT_EQ(sampleTimes(none, headerOf(none), 2, 10), (std::vector<double>{0.1, 0.2}));
    EXPECT_DECODE_FAILED(sampleTimes(none, headerOf(none), 1, 0), "Invalid telemetry timescale");
    const Bytes tiny = kovra::box("stts", Bytes(7, 0));
    EXPECT_DECODE_FAILED(sampleTimes(tiny, headerOf(tiny), 0, 1), "Invalid stts payload");
}

TEST(MediaTimescale, BothHeaderVersions) {
    kovra::TrackTables tables;
    tables.timescale = 90000;
    tables.mdhdVersion = 0;
    const Bytes v0 = kovra::trakBox(tables);
    EXPECT_EQ(readMediaTimescale(v0, headerOf(v0)), 90000u);
    tables.mdhdVersion = 1;
    tables.timescale = 48000;
    const Bytes v1 = kovra::trakBox(tables);
    EXPECT_EQ(readMediaTimescale(v1, headerOf(v1)), 48000u);
}

TEST(TrackPackets, RecordsCarryTheirSampleIndexAndTime) {
    ForgedRecording recording;
    recording.options.headerOffsetTicks = 6'500'000;
    recording.options.samplesPerChunk = 2;
    const Bytes file = recording.build();
    const auto track = findTelemetryTrack(file);
    const auto records = buildPacketRecords(file, track.trak);
    ASSERT_EQ(records.size(), 3u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].sampleIndex, static_cast<std::int64_t>(i));
        EXPECT_DOUBLE_EQ(*records[i].samplePTSSeconds, static_cast<double>(i));
        EXPECT_EQ(records[i].timestampTicks, 10'000'000 * i + 6'500'000);
        EXPECT_FALSE(records[i].payload.empty());
    }
}

TEST(TrackPackets, SamplesOutsideTheFileOrRepeatedBeyondItsSizeAreSkipped) {
    ForgedRecording recording;
    recording.editTables = [](kovra::TrackTables& tables) {
        tables.chunkOffsets[1] = 1u << 31;  // the second sample lies past the end of the file
    };
    const Bytes file = recording.build();
    const auto records = buildPacketRecords(file, findTelemetryTrack(file).trak);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].sampleIndex, 0);
    EXPECT_EQ(records[1].sampleIndex, 2);

    // Thousands of chunks all pointing at the same sample: the track cannot hold more sample
    // bytes than the file, so the repeats stop once they add up to the file's size.
    ForgedRecording repeated;
    repeated.editTables = [](kovra::TrackTables& tables) {
        const std::uint64_t first = tables.chunkOffsets[0];
        const std::uint32_t size = tables.sampleSizes[0];
        tables.chunkOffsets.assign(100000, first);
        tables.sampleSizes.assign(100000, size);
        tables.stsc = {{1, 1, 1}};
        tables.stts = {{100000, 1000}};
    };
    const Bytes bomb = repeated.build();
    const auto limited = buildPacketRecords(bomb, findTelemetryTrack(bomb).trak);
    EXPECT_GT(limited.size(), 1u);
    EXPECT_LE(limited.size() * limited[0].payload.size(), bomb.size());
}

}  // namespace
}  // namespace skelder
