#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "telemetry/mp4_box.hpp"
#include "telemetry/sample_description.hpp"

namespace skelder {

struct TelemetryTrackInfo {
    MP4BoxHeader trak;
    TelemetrySampleDescription description;
};

// Finds the first track whose handler type is "adrv" and parses its "adco" entry.
TelemetryTrackInfo findTelemetryTrack(ByteSpan buffer);

struct StblBoxes {
    std::vector<MP4BoxHeader> children;  // every child of "stbl"
    MP4BoxHeader stsd, stsz, stsc, stts;
};

// The sample table of a track with its four required boxes.
StblBoxes stblChildren(ByteSpan buffer, const MP4BoxHeader& trak);

// The sample entry headers listed in the track's "stsd".
std::vector<MP4BoxHeader> telemetrySampleEntries(ByteSpan buffer, const MP4BoxHeader& trak);

struct SampleLocation {
    std::int64_t offset = 0;
    std::int64_t size = 0;

    friend bool operator==(const SampleLocation&, const SampleLocation&) = default;
};

struct StscEntry {
    std::int64_t firstChunk = 0;
    std::int64_t samplesPerChunk = 0;
    std::int64_t sampleDescriptionIndex = 0;
};

// Sample sizes from "stsz": either one size repeated (kept implicit, however large the
// count) or a table read from the file.
class SampleSizes {
  public:
    SampleSizes() = default;
    explicit SampleSizes(std::vector<std::uint32_t> table)
        : count_(table.size()), table_(std::move(table)) {}
    SampleSizes(std::uint32_t defaultSize, std::uint64_t count)
        : defaultSize_(defaultSize), count_(count) {}

    std::uint64_t count() const noexcept { return count_; }
    std::int64_t at(std::uint64_t index) const noexcept {
        return table_.empty() ? defaultSize_ : table_[static_cast<std::size_t>(index)];
    }

  private:
    std::uint32_t defaultSize_ = 0;
    std::uint64_t count_ = 0;
    std::vector<std::uint32_t> table_;
};

// A default size whose samples would need more bytes than the file holds is malformed.
SampleSizes readSampleSizes(ByteSpan buffer, const MP4BoxHeader& stsz, std::uint64_t fileSizeBytes);
std::vector<std::int64_t> readChunkOffsets(ByteSpan buffer, const MP4BoxHeader& chunkOffsetBox);
std::vector<StscEntry> readStscEntries(ByteSpan buffer, const MP4BoxHeader& stsc);
std::uint32_t readMediaTimescale(ByteSpan buffer, const MP4BoxHeader& trak);

// Number of samples the sample-to-chunk map places (never more than the size list
// holds); throws "stsc has no entries" for an empty map.
std::uint64_t countMappedSamples(const SampleSizes& sizes,
                                 const std::vector<std::int64_t>& chunkOffsets,
                                 const std::vector<StscEntry>& stscEntries);

// Calls visit(SampleLocation) for every sample in order, stopping at the last listed
// sample size. The mapping is checked with countMappedSamples beforehand.
template <typename Visit>
void forEachSampleLocation(const SampleSizes& sizes, const std::vector<std::int64_t>& chunkOffsets,
                           const std::vector<StscEntry>& stscEntries, Visit&& visit) {
    const auto chunkCount = static_cast<std::int64_t>(chunkOffsets.size());
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < stscEntries.size(); ++i) {
        const StscEntry& entry = stscEntries[i];
        const std::int64_t next =
            i + 1 < stscEntries.size() ? stscEntries[i + 1].firstChunk : chunkCount + 1;
        const std::int64_t last = std::min(next - 1, chunkCount);
        if (entry.firstChunk < 1 || entry.firstChunk > last)
            continue;
        for (std::int64_t chunk = entry.firstChunk; chunk <= last; ++chunk) {
            const std::int64_t base = chunkOffsets[static_cast<std::size_t>(chunk - 1)];
            std::int64_t run = 0;
            for (std::int64_t s = 0; s < entry.samplesPerChunk; ++s) {
                if (k >= sizes.count())
                    return;
                const std::int64_t size = sizes.at(k);
                // Offsets that overflow cannot lie in the file; they are skipped later.
                std::int64_t offset;
                if (__builtin_add_overflow(base, run, &offset))
                    offset = INT64_MAX;
                visit(SampleLocation{offset, size});
                if (__builtin_add_overflow(run, size, &run))
                    run = INT64_MAX;
                ++k;
            }
        }
    }
}

// The locations as a list; throws like the extraction when the map is broken.
std::vector<SampleLocation> sampleLocations(const SampleSizes& sizes,
                                            const std::vector<std::int64_t>& chunkOffsets,
                                            const std::vector<StscEntry>& stscEntries);

// Presentation times of consecutive samples from "stts", read lazily: entries are
// read only when needed; after the last entry, times continue in steps of one tick
// of the timescale.
class SampleClock {
  public:
    SampleClock(ByteSpan buffer, const MP4BoxHeader& stts, std::uint32_t timescale);
    double next();

  private:
    BinaryReader reader_;
    double timescale_;
    std::uint32_t entriesLeft_ = 0;
    std::uint32_t samplesLeftInEntry_ = 0;
    std::uint32_t delta_ = 0;
    std::uint64_t decodeTime_ = 0;
    bool exhausted_ = false;
    double lastTime_ = 0.0;
    std::uint64_t fillSteps_ = 0;
};

std::vector<double> sampleTimes(ByteSpan buffer, const MP4BoxHeader& stts,
                                std::uint64_t sampleCount, std::uint32_t timescale);

// The checked sample tables of the telemetry track: locations and times are produced
// on demand with forEachSample, so no list is sized from a count in the file.
struct TelemetrySampleTables {
    SampleSizes sizes;
    std::vector<std::int64_t> chunkOffsets;
    std::vector<StscEntry> stscEntries;
    MP4BoxHeader stts;
    std::uint32_t timescale = 0;
};

// `buffer` holds the track's boxes (the movie box, or the whole file); `fileSizeBytes` is the
// size of the file the samples are read from.
TelemetrySampleTables readTelemetrySampleTables(ByteSpan buffer, const MP4BoxHeader& trak,
                                                std::uint64_t fileSizeBytes);

// Calls visit(index, SampleLocation, presentationSeconds) for every sample in order.
template <typename Visit>
void forEachSample(ByteSpan buffer, const TelemetrySampleTables& tables, Visit&& visit) {
    SampleClock clock(buffer, tables.stts, tables.timescale);
    std::int64_t index = 0;
    forEachSampleLocation(tables.sizes, tables.chunkOffsets, tables.stscEntries,
                          [&](const SampleLocation& location) {
                              visit(index, location, clock.next());
                              ++index;
                          });
}

}  // namespace skelder
