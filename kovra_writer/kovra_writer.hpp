#pragma once

// Writes Kovra recordings: MP4 files with the recorder's timed telemetry track (handler "adrv",
// sample entry "adco"), for tests and sample files. Lower-level pieces for forging malformed
// files live in the headers included below.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "kovra_writer/box_builder.hpp"
#include "kovra_writer/byte_writer.hpp"
#include "kovra_writer/kovra_channels.hpp"
#include "kovra_writer/mp4_assembly.hpp"
#include "kovra_writer/packets.hpp"
#include "kovra_writer/sample_entry.hpp"
#include "kovra_writer/standard_channels.hpp"
#include "kovra_writer/track_boxes.hpp"

namespace skelder::kovra {

struct RecordingOptions {
    std::vector<ChannelDefinition> channels = standardChannels();
    double durationSeconds = 10;
    // Physical value of a channel (recorded unit, before any unit conversion by readers) at a
    // time in seconds; turned into raw values with rawForCalibrated. Empty: syntheticValue.
    std::function<double(const ChannelDefinition&, double seconds)> valueAt = {};
    // One packet per sample; each covers this many ticks (cycles k with k*m below it).
    std::uint64_t packetDurationTicks = kTicksPerSecond;
    // Packet header time = sample presentation time in ticks + this offset (the recorder's
    // header clock runs ahead of the track's media time). Must keep header times >= 0.
    std::int64_t headerOffsetTicks = 0;
    std::uint16_t packetFlags = 0;
    std::uint32_t timescale = 1000;  // media timescale; packetDurationTicks must map to whole units
    int mdhdVersion = 0;
    int samplesPerChunk = 1;
    bool useCo64 = false;
    bool includeVideoTrack = false;  // an empty "vide" track ahead of the telemetry track
    MediaHeader mediaHeader = MediaHeader::nmhd;
    // Zero bytes in the mdat, after the samples (or before them), written as a hole by
    // writeRecording. A mdat above 2^32 - 1 bytes gets a 64-bit size.
    std::uint64_t mdatPaddingBytes = 0;
    bool paddingBeforeSamples = false;
    std::optional<std::vector<AdudRecord>> adud = defaultAdudRecords();
    // Rates the table declares after the channels' rates without listing any channel: they
    // hold no values but count for the cycle step (the smallest interval).
    std::vector<std::uint64_t> channellessRateIntervals = {};
};

// The rate table of a recording: ratesOf(channels), then the channelless rates.
std::vector<Rate> declaredRates(const RecordingOptions& options);

// Presentation time of sample i in ticks, as readers derive it from stts and the timescale.
std::int64_t samplePresentationTicks(const RecordingOptions& options, std::uint64_t sampleIndex);

// The telemetry samples, one encoded packet each, in presentation order.
std::vector<Bytes> buildTelemetrySamples(const RecordingOptions& options);

// Tables of the telemetry track whose samples are stored back to back from
// `firstSampleOffset` on, grouped into chunks of options.samplesPerChunk.
TrackTables telemetryTrackTables(const RecordingOptions& options, const std::vector<Bytes>& samples,
                                 std::uint64_t firstSampleOffset, std::uint32_t trackId,
                                 std::uint32_t movieTimescale);

// The whole file in memory: ftyp, mdat, moov. Padding is materialised as zero bytes, so keep
// it small here; use writeRecording for large padding.
Bytes buildRecording(const RecordingOptions& options);

// The same file on disk, padding left as a hole. Throws std::system_error on I/O failures.
void writeRecording(const std::filesystem::path& path, const RecordingOptions& options);

}  // namespace skelder::kovra
