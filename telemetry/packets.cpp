#include "telemetry/packets.hpp"

namespace skelder {

std::vector<PacketRecord> splitSample(ByteSpan sample, std::int64_t sampleIndex,
                                      std::optional<double> samplePTSSeconds) {
    std::vector<PacketRecord> records;
    forEachPacketInSample(sample, sampleIndex, samplePTSSeconds,
                          [&](const PacketView& packet) { records.push_back(packet.toRecord()); });
    return records;
}

std::vector<PacketRecord> buildPacketRecords(ByteSpan buffer, const MP4BoxHeader& trak) {
    const TelemetrySampleTables tables = readTelemetrySampleTables(buffer, trak);
    std::vector<PacketRecord> records;
    forEachTrackPacket(buffer, tables,
                       [&](const PacketView& packet) { records.push_back(packet.toRecord()); });
    return records;
}

}  // namespace skelder
