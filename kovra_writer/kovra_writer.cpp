#include "kovra_writer/kovra_writer.hpp"

#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

#include "kovra_writer/file_io.hpp"

namespace skelder::kovra {

namespace {

constexpr std::uint32_t kMovieTimescale = 1000;

// Sample duration in media timescale units; a packet must span whole units so that sample
// presentation times land exactly on packet boundaries.
std::uint32_t sampleDelta(const RecordingOptions& o) {
    if (o.packetDurationTicks == 0 || o.timescale == 0) {
        throw std::invalid_argument("packet duration and timescale must not be 0");
    }
    const unsigned __int128 scaled =
        static_cast<unsigned __int128>(o.packetDurationTicks) * o.timescale;
    if (scaled % kTicksPerSecond != 0 ||
        scaled / kTicksPerSecond > std::numeric_limits<std::uint32_t>::max()) {
        throw std::invalid_argument("packet duration of " + std::to_string(o.packetDurationTicks) +
                                    " ticks is no whole number of 32-bit timescale units");
    }
    return static_cast<std::uint32_t>(scaled / kTicksPerSecond);
}

std::uint64_t sampleCount(const RecordingOptions& o) {
    if (!std::isfinite(o.durationSeconds)) {
        throw std::invalid_argument("duration must be finite");
    }
    if (o.durationSeconds <= 0) {
        return 0;
    }
    const auto ticks =
        static_cast<std::uint64_t>(std::llround(o.durationSeconds * kTicksPerSecond));
    return (ticks + o.packetDurationTicks - 1) / o.packetDurationTicks;
}

std::uint64_t toMovieUnits(std::uint64_t mediaUnits, std::uint32_t timescale) {
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(mediaUnits) * kMovieTimescale /
                                      timescale);
}

struct RecordingParts {
    Bytes ftyp;
    Bytes mdatHeader;
    std::uint64_t paddingBefore = 0;
    std::vector<Bytes> samples;
    std::uint64_t paddingAfter = 0;
    Bytes moov;
};

RecordingParts layoutRecording(const RecordingOptions& o) {
    RecordingParts parts;
    parts.samples = buildTelemetrySamples(o);
    const std::uint64_t samplesSize =
        std::accumulate(parts.samples.begin(), parts.samples.end(), std::uint64_t{0},
                        [](std::uint64_t sum, const Bytes& s) { return sum + s.size(); });
    parts.ftyp = ftypBox();
    parts.mdatHeader = boxHeader("mdat", samplesSize + o.mdatPaddingBytes);
    (o.paddingBeforeSamples ? parts.paddingBefore : parts.paddingAfter) = o.mdatPaddingBytes;

    const std::uint64_t firstSample =
        parts.ftyp.size() + parts.mdatHeader.size() + parts.paddingBefore;
    std::vector<Bytes> traks;
    const std::uint32_t telemetryId = o.includeVideoTrack ? 2 : 1;
    const TrackTables tables =
        telemetryTrackTables(o, parts.samples, firstSample, telemetryId, kMovieTimescale);
    const std::uint64_t telemetryDuration = toMovieUnits(mediaDuration(tables), o.timescale);
    std::uint64_t movieDuration = telemetryDuration;
    if (o.includeVideoTrack) {
        const auto videoDuration = static_cast<std::uint64_t>(
            std::llround(std::max(o.durationSeconds, 0.0) * kMovieTimescale));
        traks.push_back(emptyVideoTrakBox(1, kMovieTimescale, videoDuration));
        movieDuration = std::max(movieDuration, videoDuration);
    }
    traks.push_back(trakBox(tables));
    Mp4Layout layout;
    layout.movieTimescale = kMovieTimescale;
    layout.movieDuration = movieDuration;
    parts.moov = moovBox(layout, traks);
    return parts;
}

}  // namespace

std::vector<Rate> declaredRates(const RecordingOptions& options) {
    std::vector<Rate> rates = ratesOf(options.channels);
    for (const std::uint64_t interval : options.channellessRateIntervals) {
        rates.push_back({interval, {}});
    }
    return rates;
}

std::int64_t samplePresentationTicks(const RecordingOptions& options, std::uint64_t sampleIndex) {
    // Readers sum the stts deltas, divide by the timescale in double and truncate the ticks.
    const std::uint64_t decodeTime = sampleIndex * sampleDelta(options);
    const double seconds = static_cast<double>(decodeTime) / options.timescale;
    return static_cast<std::int64_t>(seconds * static_cast<double>(kTicksPerSecond));
}

std::vector<Bytes> buildTelemetrySamples(const RecordingOptions& o) {
    sampleDelta(o);  // validates packet duration and timescale before any division
    const std::vector<Rate> rates = declaredRates(o);
    const std::uint64_t m = cycleIntervalTicks(rates);
    const std::uint64_t count = sampleCount(o);
    const std::uint64_t cycles = (o.packetDurationTicks + m - 1) / m;
    const auto& valueAt = o.valueAt ? o.valueAt : syntheticValue;

    std::vector<Bytes> samples;
    samples.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::int64_t pts = samplePresentationTicks(o, i);
        const std::int64_t header = pts + o.headerOffsetTicks;
        if (header < 0) {
            throw std::invalid_argument("header offset makes packet " + std::to_string(i) +
                                        " start before time 0");
        }
        const Bytes payload = packetPayload(
            rates, static_cast<std::uint64_t>(header), cycles,
            [&](const ChannelDefinition& channel, std::uint64_t k) {
                const double seconds = static_cast<double>(pts + static_cast<std::int64_t>(k * m)) /
                                       static_cast<double>(kTicksPerSecond);
                return rawForCalibrated(channel, valueAt(channel, seconds));
            });
        samples.push_back(
            encodePacket({static_cast<std::uint64_t>(header), o.packetFlags, payload}));
    }
    return samples;
}

TrackTables telemetryTrackTables(const RecordingOptions& o, const std::vector<Bytes>& samples,
                                 std::uint64_t firstSampleOffset, std::uint32_t trackId,
                                 std::uint32_t movieTimescale) {
    if (o.samplesPerChunk < 1) {
        throw std::invalid_argument("samplesPerChunk must be at least 1");
    }
    const auto perChunk = static_cast<std::uint32_t>(o.samplesPerChunk);
    TrackTables t;
    t.trackId = trackId;
    t.timescale = o.timescale;
    t.mdhdVersion = o.mdhdVersion;
    t.movieTimescale = movieTimescale;
    t.mediaHeader = o.mediaHeader;
    t.co64 = o.useCo64;
    t.sampleEntries = {adcoSampleEntryBox(o.channels, o.adud, declaredRates(o))};

    std::uint64_t offset = firstSampleOffset;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i % perChunk == 0) {
            t.chunkOffsets.push_back(offset);
        }
        t.sampleSizes.push_back(static_cast<std::uint32_t>(samples[i].size()));
        offset += samples[i].size();
    }
    if (!samples.empty()) {
        t.stsc.push_back({1, perChunk, 1});
        const auto remainder = static_cast<std::uint32_t>(samples.size() % perChunk);
        if (remainder != 0 && t.chunkOffsets.size() > 1) {
            t.stsc.push_back({static_cast<std::uint32_t>(t.chunkOffsets.size()), remainder, 1});
        } else if (remainder != 0) {
            t.stsc.front().samplesPerChunk = remainder;
        }
        t.stts.push_back({static_cast<std::uint32_t>(samples.size()), sampleDelta(o)});
    }
    return t;
}

Bytes buildRecording(const RecordingOptions& options) {
    const RecordingParts parts = layoutRecording(options);
    Bytes out = concat({parts.ftyp, parts.mdatHeader});
    out.resize(out.size() + parts.paddingBefore, 0);
    for (const auto& sample : parts.samples) {
        out.insert(out.end(), sample.begin(), sample.end());
    }
    out.resize(out.size() + parts.paddingAfter, 0);
    out.insert(out.end(), parts.moov.begin(), parts.moov.end());
    return out;
}

void writeRecording(const std::filesystem::path& path, const RecordingOptions& options) {
    const RecordingParts parts = layoutRecording(options);
    OutputFile out(path);
    out.write(parts.ftyp);
    out.write(parts.mdatHeader);
    out.skip(parts.paddingBefore);
    for (const auto& sample : parts.samples) {
        out.write(sample);
    }
    out.skip(parts.paddingAfter);
    out.write(parts.moov);
    out.finish();
}

}  // namespace skelder::kovra
