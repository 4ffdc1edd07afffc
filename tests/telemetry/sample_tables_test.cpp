#include "telemetry/sample_tables.hpp"

#include <gtest/gtest.h>

#include "telemetry/packets.hpp"
#include "tests/support/forged_recording.hpp"

namespace skelder {
namespace {

using kovra::Bytes;
using testing::ForgedRecording;

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
