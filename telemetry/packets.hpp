#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "telemetry/binary_reader.hpp"
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

// Visits every packet of the telemetry track in sample order. Samples outside the file
// are skipped; so are samples once the track's samples would add up to more bytes than
// the file holds, which only a malformed table can claim.
template <typename Visit>
void forEachTrackPacket(ByteSpan buffer, const TelemetrySampleTables& tables, Visit&& visit) {
    const auto bufferSize = static_cast<std::int64_t>(buffer.size());
    std::int64_t bytesVisited = 0;
    forEachSample(buffer, tables,
                  [&](std::int64_t index, const SampleLocation& location, double presentation) {
                      if (location.offset < 0 || location.size < 1 ||
                          location.offset > bufferSize - location.size) {
                          return;
                      }
                      if (location.size > bufferSize - bytesVisited)
                          return;
                      bytesVisited += location.size;
                      forEachPacketInSample(
                          buffer.subspan(static_cast<std::size_t>(location.offset),
                                         static_cast<std::size_t>(location.size)),
                          index, presentation, visit);
                  });
}

// Every packet record of the telemetry track, payloads copied.
std::vector<PacketRecord> buildPacketRecords(ByteSpan buffer, const MP4BoxHeader& trak);

}  // namespace skelder
