#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kovra_writer/byte_writer.hpp"

namespace skelder::kovra {

struct SttsEntry {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleDelta = 0;
};

struct StscEntry {
    std::uint32_t firstChunk = 1;
    std::uint32_t samplesPerChunk = 1;
    std::uint32_t sampleDescriptionIndex = 1;
};

// The media information header inside "minf".
enum class MediaHeader { nmhd, gmhd, vmhd };

Bytes ftypBox();
// Version 0; throws std::out_of_range when `duration` does not fit 32 bits.
Bytes mvhdBox(std::uint32_t timescale, std::uint64_t duration, std::uint32_t nextTrackId);
// Version 0, flags "enabled, in movie"; `width` and `height` in whole pixels.
Bytes tkhdBox(std::uint32_t trackId, std::uint64_t duration, std::uint32_t width = 0,
              std::uint32_t height = 0);
// Version 0 (32-bit times) or 1 (64-bit times); language "und".
Bytes mdhdBox(int version, std::uint32_t timescale, std::uint64_t duration);
Bytes hdlrBox(std::string_view handlerType, std::string_view name);
Bytes mediaHeaderBox(MediaHeader kind);
Bytes dinfBox();  // one self-contained "url " reference
Bytes stsdBox(const std::vector<Bytes>& entries);
Bytes sttsBox(const std::vector<SttsEntry>& entries);
Bytes stscBox(const std::vector<StscEntry>& entries);
// The count is written as given; `sizes` follow whatever the default size, so tables can be
// forged short or long.
Bytes stszBox(std::uint32_t defaultSize, std::uint32_t sampleCount,
              const std::vector<std::uint32_t>& sizes);
// "stco" (throws std::out_of_range for offsets above 32 bits) or "co64".
Bytes chunkOffsetBox(const std::vector<std::uint64_t>& offsets, bool co64);

// Everything needed to build one "trak". The edit hooks run on each container's child list
// before it is wrapped, so tests can drop, reorder or replace single boxes.
struct TrackTables {
    std::uint32_t trackId = 1;
    std::string handlerType = "adrv";
    std::string handlerName = "Kovra telemetry";
    MediaHeader mediaHeader = MediaHeader::nmhd;
    std::uint32_t timescale = 1000;
    int mdhdVersion = 0;
    std::uint32_t movieTimescale = 1000;  // unit of the tkhd duration
    std::uint32_t width = 0;              // tkhd size, for visual tracks
    std::uint32_t height = 0;
    std::vector<Bytes> sampleEntries = {};
    std::vector<std::uint32_t> sampleSizes = {};
    std::uint32_t defaultSampleSize = 0;  // not 0: "stsz" holds no table
    std::uint32_t sampleCountField = 0;   // "stsz" count when defaultSampleSize is not 0
    std::vector<std::uint64_t> chunkOffsets = {};
    bool co64 = false;
    std::vector<StscEntry> stsc = {};
    std::vector<SttsEntry> stts = {};

    using Edit = std::function<void(std::vector<Bytes>& children)>;
    Edit editStbl = {};
    Edit editMinf = {};
    Edit editMdia = {};
    Edit editTrak = {};
};

// Media duration in track timescale units: the sum of the time-to-sample entries.
std::uint64_t mediaDuration(const TrackTables& tables);

Bytes trakBox(const TrackTables& tables);

// A "vide" track without samples, so that players see a video stream of the given duration.
Bytes emptyVideoTrakBox(std::uint32_t trackId, std::uint32_t movieTimescale,
                        std::uint64_t durationInMovieUnits);

}  // namespace skelder::kovra
