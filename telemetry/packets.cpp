#include "telemetry/packets.hpp"

namespace skelder {

std::vector<PacketRecord> splitSample(ByteSpan sample, std::int64_t sampleIndex,
                                      std::optional<double> samplePTSSeconds) {
    std::vector<PacketRecord> records;
    forEachPacketInSample(sample, sampleIndex, samplePTSSeconds,
                          [&](const PacketView& packet) { records.push_back(packet.toRecord()); });
    return records;
}

std::vector<PacketRecord> buildPacketRecords(ByteSpan file, const MP4BoxHeader& trak) {
    const TelemetrySampleTables tables = readTelemetrySampleTables(file, trak, file.size());
    MemoryByteSource source(file);
    std::vector<PacketRecord> records;
    forEachTrackPacket(file, source, tables, {},
                       [&](const PacketView& packet) { records.push_back(packet.toRecord()); });
    return records;
}

}  // namespace skelder
