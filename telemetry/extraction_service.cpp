#include "telemetry/extraction_service.hpp"

#include <algorithm>
#include <vector>

#include "core/cancellation.hpp"
#include "telemetry/channels.hpp"
#include "telemetry/file_source.hpp"
#include "telemetry/input_file.hpp"
#include "telemetry/movie_box.hpp"
#include "telemetry/overlay_accumulator.hpp"
#include "telemetry/packet_decoding.hpp"
#include "telemetry/packets.hpp"
#include "telemetry/sample_tables.hpp"
#include "telemetry/source_extraction.hpp"

namespace skelder {
namespace {

ParsedTelemetryData parseRecording(ByteSource& source, bool includeFeatureBuckets,
                                   bool includePacketTiming, const std::stop_token& stop) {
    ParsedTelemetryData result;
    const std::vector<std::uint8_t> movie = readMovieBox(source, stop);
    const TelemetryTrackInfo track = findTelemetryTrack(movie);
    const TelemetrySampleTables tables =
        readTelemetrySampleTables(movie, track.trak, static_cast<std::uint64_t>(source.size()));

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
    forEachTrackPacket(movie, source, tables, stop, [&](const PacketView& packet) {
        // One sample may hold any number of packets; a stop is noticed between them too.
        throwIfCancelled(stop);
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

}  // namespace

ParsedTelemetryData BasicTelemetryExtractionService::extractTelemetry(
    const std::filesystem::path& inputURL, bool includeFeatureBuckets, bool includePacketTiming,
    std::stop_token stop) const {
    throwIfCancelled(stop);
    const std::uint64_t fileSizeBytes = validateInput(inputURL);
    FileSource file(inputURL);
    if (static_cast<std::uint64_t>(file.size()) != fileSizeBytes)
        throw TelemetryExtractionError::readFailed(kFileChangedDescription);
    ParsedTelemetryData result =
        extractTelemetryFromSource(file, includeFeatureBuckets, includePacketTiming, stop);
    result.inputURL = inputURL;
    result.fileSizeBytes = fileSizeBytes;
    return result;
}

ParsedTelemetryData extractTelemetryFromSource(ByteSource& source, bool includeFeatureBuckets,
                                               bool includePacketTiming, std::stop_token stop) {
    try {
        ParsedTelemetryData result =
            parseRecording(source, includeFeatureBuckets, includePacketTiming, stop);
        source.confirmUnchanged();
        return result;
    } catch (const TelemetryExtractionError&) {
        // Bytes from before and after a change can make any box look malformed; the change
        // is the failure the user can act on.
        source.confirmUnchanged();
        throw;
    }
}

ParsedTelemetryData extractTelemetryFromBuffer(ByteSpan buffer, bool includeFeatureBuckets,
                                               bool includePacketTiming) {
    MemoryByteSource source(buffer);
    return extractTelemetryFromSource(source, includeFeatureBuckets, includePacketTiming);
}

}  // namespace skelder
