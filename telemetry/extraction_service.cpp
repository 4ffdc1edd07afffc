#include "telemetry/extraction_service.hpp"

#include <algorithm>

#include "telemetry/buffer_extraction.hpp"
#include "telemetry/channels.hpp"
#include "telemetry/input_file.hpp"
#include "telemetry/overlay_accumulator.hpp"
#include "telemetry/packet_decoding.hpp"
#include "telemetry/packets.hpp"
#include "telemetry/sample_tables.hpp"

namespace skelder {

ParsedTelemetryData BasicTelemetryExtractionService::extractTelemetry(
    const std::filesystem::path& inputURL, bool includeFeatureBuckets,
    bool includePacketTiming) const {
    const std::uint64_t fileSizeBytes = validateInput(inputURL);
    const FileBuffer file = FileBuffer::readWholeFile(inputURL);
    ParsedTelemetryData result =
        extractTelemetryFromBuffer(file.bytes(), includeFeatureBuckets, includePacketTiming);
    result.inputURL = inputURL;
    result.fileSizeBytes = fileSizeBytes;
    return result;
}

ParsedTelemetryData extractTelemetryFromBuffer(ByteSpan buffer, bool includeFeatureBuckets,
                                               bool includePacketTiming) {
    ParsedTelemetryData result;
    const TelemetryTrackInfo track = findTelemetryTrack(buffer);
    const TelemetrySampleTables tables = readTelemetrySampleTables(buffer, track.trak);

    std::map<std::uint16_t, ResolvedChannel> resolved;
    for (const auto& [id, key] : resolveRequiredChannels(track.description.channels)) {
        const ChannelInfo& info = track.description.channels.at(id);
        resolved.emplace(id, ResolvedChannel{info, resolvedSignalKind(info, key)});
    }

    PacketDecoder decoder(track.description, resolved);
    OverlayAccumulator accumulator(includeFeatureBuckets);
    const auto sink = [&](const ResolvedChannel& channel, const ChannelValueEvent& event) {
        accumulator.add(channel, event);
    };
    forEachTrackPacket(buffer, tables, [&](const PacketView& packet) {
        if (includePacketTiming)
            result.packetRecords.push_back(packet.toRecord());
        decoder.decode(packet, sink);
    });

    AccumulatedTelemetry accumulated = std::move(accumulator).finish();
    result.overlaySamplesByDecisecond = std::move(accumulated.grid);
    if (includePacketTiming)
        result.headerMinusPTSSeconds = medianHeaderMinusPTS(result.packetRecords);
    if (includeFeatureBuckets)
        result.contiguousBuckets = contiguousBuckets(accumulated.bucketsBySecond);
    return result;
}

}  // namespace skelder
