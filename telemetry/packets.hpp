#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

#include "core/cancellation.hpp"
#include "telemetry/binary_reader.hpp"
#include "telemetry/byte_source.hpp"
#include "telemetry/sample_run.hpp"
#include "telemetry/sample_tables.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// A packet as it lies in the file buffer; the payload is not copied.
struct PacketView {
    std::uint64_t timestampTicks = 0;
    std::uint16_t flags = 0;
    ByteSpan payload;
    std::int64_t sampleIndex = 0;
    std::optional<double> samplePTSSeconds;

    PacketRecord toRecord() const {
        return {
            timestampTicks, flags, {payload.begin(), payload.end()}, sampleIndex, samplePTSSeconds};
    }
};

inline PacketView viewOf(const PacketRecord& record) {
    return {record.timestampTicks, record.flags, ByteSpan(record.payload), record.sampleIndex,
            record.samplePTSSeconds};
}

inline constexpr std::int64_t kPacketHeaderBytes = 14;

// Cuts one sample into packets: 8-byte header time, 2-byte flags, 4-byte length and the
// payload, back to back. An incomplete packet ends the sample.
template <typename Visit>
void forEachPacketInSample(ByteSpan sample, std::int64_t sampleIndex,
                           std::optional<double> samplePTSSeconds, Visit&& visit) {
    const auto size = static_cast<std::int64_t>(sample.size());
    std::int64_t p = 0;
    while (p + kPacketHeaderBytes <= size) {
        const std::uint8_t* header = sample.data() + p;
        const std::int64_t payloadLength = loadU32(header + 10);
        const std::int64_t next = p + kPacketHeaderBytes + payloadLength;
        if (next > size)
            return;
        visit(PacketView{loadU64(header), loadU16(header + 8),
                         sample.subspan(static_cast<std::size_t>(p + kPacketHeaderBytes),
                                        static_cast<std::size_t>(payloadLength)),
                         sampleIndex, samplePTSSeconds});
        p = next;
    }
}

std::vector<PacketRecord> splitSample(ByteSpan sample, std::int64_t sampleIndex,
                                      std::optional<double> samplePTSSeconds);

// Visits every packet of the telemetry track in sample order, reading the samples' bytes from
// `source` (`movie` holds the boxes the tables were read from). Samples outside the file are
// skipped; so are samples once the track's samples would add up to more bytes than the file
// holds, which only a malformed table can claim. Stops with CancellationError once `stop` is
// requested, checked for every sample.
template <typename Visit>
void forEachTrackPacket(ByteSpan movie, ByteSource& source, const TelemetrySampleTables& tables,
                        std::stop_token stop, Visit&& visit) {
    const std::int64_t fileSize = source.size();
    std::int64_t bytesVisited = 0;
    SampleRun run;
    const auto visitRun = [&] {
        run.readAndVisit(source, [&](ByteSpan sample, std::int64_t index, double presentation) {
            forEachPacketInSample(sample, index, presentation, visit);
        });
    };
    forEachSample(movie, tables,
                  [&](std::int64_t index, const SampleLocation& location, double presentation) {
                      throwIfCancelled(stop);
                      if (location.offset < 0 || location.size < 1 ||
                          location.offset > fileSize - location.size) {
                          return;
                      }
                      if (location.size > fileSize - bytesVisited)
                          return;
                      bytesVisited += location.size;
                      if (!run.canTake(location))
                          visitRun();
                      run.take(index, location, presentation);
                  });
    visitRun();
}

// Every packet record of the telemetry track of a whole file held in memory, payloads copied.
std::vector<PacketRecord> buildPacketRecords(ByteSpan file, const MP4BoxHeader& trak);

}  // namespace skelder
