#include "telemetry/sample_tables.hpp"

#include <fmt/format.h>

#include "telemetry/extraction_error.hpp"

namespace skelder {
namespace {

[[noreturn]] void decodeFailed(const char* message) {
    throw TelemetryExtractionError::decodeFailed(message);
}

std::vector<MP4BoxHeader> childrenOf(ByteSpan buffer, const MP4BoxHeader& box) {
    return listChildBoxes(buffer, box);
}

// Number of whole entries of `entrySize` bytes that fit after the table header.
bool tableFits(const MP4BoxHeader& box, std::int64_t headerBytes, std::uint64_t count,
               std::int64_t entrySize) {
    const auto available = static_cast<std::uint64_t>(box.payloadSize() - headerBytes);
    return count <= available / static_cast<std::uint64_t>(entrySize);
}

}  // namespace

StblBoxes stblChildren(ByteSpan buffer, const MP4BoxHeader& trak) {
    const char* missing = "Missing required stbl child box (stsd/stsz/stsc/stts)";
    const auto trakChildren = childrenOf(buffer, trak);
    const MP4BoxHeader* mdia = findFirstBox(trakChildren, "mdia");
    if (mdia == nullptr)
        decodeFailed(missing);
    const auto mdiaChildren = childrenOf(buffer, *mdia);
    const MP4BoxHeader* minf = findFirstBox(mdiaChildren, "minf");
    if (minf == nullptr)
        decodeFailed(missing);
    const auto minfChildren = childrenOf(buffer, *minf);
    const MP4BoxHeader* stbl = findFirstBox(minfChildren, "stbl");
    if (stbl == nullptr)
        decodeFailed(missing);

    StblBoxes boxes;
    boxes.children = childrenOf(buffer, *stbl);
    const MP4BoxHeader* stsd = findFirstBox(boxes.children, "stsd");
    const MP4BoxHeader* stsz = findFirstBox(boxes.children, "stsz");
    const MP4BoxHeader* stsc = findFirstBox(boxes.children, "stsc");
    const MP4BoxHeader* stts = findFirstBox(boxes.children, "stts");
    if (!stsd || !stsz || !stsc || !stts)
        decodeFailed(missing);
    boxes.stsd = *stsd;
    boxes.stsz = *stsz;
    boxes.stsc = *stsc;
    boxes.stts = *stts;
    return boxes;
}

std::vector<MP4BoxHeader> telemetrySampleEntries(ByteSpan buffer, const MP4BoxHeader& trak) {
    const MP4BoxHeader stsd = stblChildren(buffer, trak).stsd;
    if (stsd.payloadSize() < 8)
        decodeFailed("Invalid stsd payload size");
    const std::uint32_t entryCount = loadU32(buffer.data() + stsd.payloadStart() + 4);
    std::vector<MP4BoxHeader> entries;
    std::int64_t position = stsd.payloadStart() + 8;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        // Each entry takes at least 8 bytes or fails, so the list never outgrows the box.
        entries.push_back(parseBoxHeader(buffer, position, stsd.payloadEnd()));
        position += entries.back().size;
    }
    return entries;
}

TelemetryTrackInfo findTelemetryTrack(ByteSpan buffer) {
    const auto topLevel = listChildBoxes(buffer, 0, static_cast<std::int64_t>(buffer.size()));
    const MP4BoxHeader* moov = findFirstBox(topLevel, "moov");
    if (moov == nullptr)
        decodeFailed("MP4 metadata box 'moov' not found");

    std::vector<MP4BoxHeader> traks;
    for (const auto& box : childrenOf(buffer, *moov)) {
        if (box.type == "trak")
            traks.push_back(box);
    }
    if (traks.empty()) {
        throw TelemetryExtractionError::telemetryMissing("No track boxes found in moov");
    }

    const MP4BoxHeader* telemetryTrak = nullptr;
    for (const auto& trak : traks) {
        const auto trakChildren = childrenOf(buffer, trak);
        const MP4BoxHeader* mdia = findFirstBox(trakChildren, "mdia");
        if (mdia == nullptr)
            continue;
        const auto mdiaChildren = childrenOf(buffer, *mdia);
        const MP4BoxHeader* hdlr = findFirstBox(mdiaChildren, "hdlr");
        if (hdlr == nullptr)
            continue;
        if (hdlr->payloadSize() < 12)
            decodeFailed("Invalid hdlr payload size");
        if (fourCharacterCode(buffer.data() + hdlr->payloadStart() + 8) == "adrv") {
            telemetryTrak = &trak;
            break;
        }
    }
    if (telemetryTrak == nullptr) {
        throw TelemetryExtractionError::telemetryMissing(
            "No telemetry track with handler type 'adrv' found");
    }

    const auto entries = telemetrySampleEntries(buffer, *telemetryTrak);
    const MP4BoxHeader* adco = findFirstBox(entries, "adco");
    if (adco == nullptr) {
        std::string types;
        for (const auto& entry : entries) {
            if (!types.empty())
                types += ", ";
            types += entry.type;
        }
        throw TelemetryExtractionError::telemetryMissing(
            "Telemetry track present but 'adco' sample entry not found (stsd: " + types + ")");
    }
    return {*telemetryTrak, parseAdcoSampleEntry(buffer, *adco)};
}

SampleSizes readSampleSizes(ByteSpan buffer, const MP4BoxHeader& stsz,
                            std::uint64_t fileSizeBytes) {
    if (stsz.payloadSize() < 12)
        decodeFailed("Invalid stsz payload");
    const std::uint8_t* payload = buffer.data() + stsz.payloadStart();
    const std::uint32_t defaultSize = loadU32(payload + 4);
    const std::uint32_t count = loadU32(payload + 8);
    if (defaultSize != 0) {
        // The samples of a real recording lie in the file, so a count whose samples could
        // not fit in it is malformed; rejecting it keeps every later walk bounded by the file.
        const std::uint64_t claimedBytes = std::uint64_t{defaultSize} * count;
        if (claimedBytes > fileSizeBytes) {
            throw TelemetryExtractionError::decodeFailed(fmt::format(
                "stsz default sample size runs past the end of the file ({} samples of {} bytes, "
                "file of {} bytes)",
                count, defaultSize, fileSizeBytes));
        }
        return SampleSizes(defaultSize, count);
    }
    if (!tableFits(stsz, 12, count, 4)) {
        // Read entry by entry would fail at the first one past the end.
        decodeFailed("stsz sample size table truncated");
    }
    std::vector<std::uint32_t> table(count);
    for (std::uint32_t i = 0; i < count; ++i)
        table[i] = loadU32(payload + 12 + 4 * std::size_t{i});
    return SampleSizes(std::move(table));
}

std::vector<std::int64_t> readChunkOffsets(ByteSpan buffer, const MP4BoxHeader& box) {
    const bool is64 = box.type == "co64";
    if (box.payloadSize() < 8) {
        throw TelemetryExtractionError::decodeFailed("Invalid " + box.type + " payload");
    }
    const std::uint8_t* payload = buffer.data() + box.payloadStart();
    const std::uint32_t count = loadU32(payload + 4);
    const std::int64_t entrySize = is64 ? 8 : 4;
    std::vector<std::int64_t> offsets;
    if (!tableFits(box, 8, count, entrySize)) {
        // Entries before the truncation point are still checked in order, so a too large
        // 64-bit offset ahead of the truncation is reported first.
        const auto whole = static_cast<std::uint64_t>(box.payloadSize() - 8) / entrySize;
        for (std::uint64_t i = 0; is64 && i < whole; ++i) {
            if (loadU64(payload + 8 + 8 * i) >= (std::uint64_t{1} << 63)) {
                decodeFailed("co64 chunk offset too large");
            }
        }
        decodeFailed(is64 ? "co64 table truncated" : "stco table truncated");
    }
    offsets.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (is64) {
            const std::uint64_t offset = loadU64(payload + 8 + 8 * std::size_t{i});
            if (offset >= (std::uint64_t{1} << 63))
                decodeFailed("co64 chunk offset too large");
            offsets.push_back(static_cast<std::int64_t>(offset));
        } else {
            offsets.push_back(loadU32(payload + 8 + 4 * std::size_t{i}));
        }
    }
    return offsets;
}

std::vector<StscEntry> readStscEntries(ByteSpan buffer, const MP4BoxHeader& stsc) {
    if (stsc.payloadSize() < 8)
        decodeFailed("Invalid stsc payload");
    const std::uint8_t* payload = buffer.data() + stsc.payloadStart();
    const std::uint32_t count = loadU32(payload + 4);
    if (!tableFits(stsc, 8, count, 12))
        decodeFailed("stsc table truncated");
    std::vector<StscEntry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = payload + 8 + 12 * std::size_t{i};
        entries[i] = {loadU32(entry), loadU32(entry + 4), loadU32(entry + 8)};
    }
    return entries;
}

std::uint64_t countMappedSamples(const SampleSizes& sizes,
                                 const std::vector<std::int64_t>& chunkOffsets,
                                 const std::vector<StscEntry>& stscEntries) {
    if (stscEntries.empty())
        decodeFailed("stsc has no entries");
    const auto chunkCount = static_cast<std::int64_t>(chunkOffsets.size());
    std::uint64_t mapped = 0;
    for (std::size_t i = 0; i < stscEntries.size() && mapped < sizes.count(); ++i) {
        const StscEntry& entry = stscEntries[i];
        const std::int64_t next =
            i + 1 < stscEntries.size() ? stscEntries[i + 1].firstChunk : chunkCount + 1;
        const std::int64_t last = std::min(next - 1, chunkCount);
        if (entry.firstChunk < 1 || entry.firstChunk > last)
            continue;
        // Both factors are below 2^32, so the product fits in 64 bits.
        const auto chunks = static_cast<std::uint64_t>(last - entry.firstChunk + 1);
        mapped += chunks * static_cast<std::uint64_t>(entry.samplesPerChunk);
    }
    return std::min(mapped, sizes.count());
}

std::vector<SampleLocation> sampleLocations(const SampleSizes& sizes,
                                            const std::vector<std::int64_t>& chunkOffsets,
                                            const std::vector<StscEntry>& stscEntries) {
    const std::uint64_t mapped = countMappedSamples(sizes, chunkOffsets, stscEntries);
    if (mapped < sizes.count())
        decodeFailed("stsc mapping did not cover all samples");
    std::vector<SampleLocation> locations;
    forEachSampleLocation(sizes, chunkOffsets, stscEntries,
                          [&](const SampleLocation& location) { locations.push_back(location); });
    return locations;
}

std::uint32_t readMediaTimescale(ByteSpan buffer, const MP4BoxHeader& trak) {
    const char* missing = "Missing mdhd in telemetry track";
    const auto trakChildren = childrenOf(buffer, trak);
    const MP4BoxHeader* mdia = findFirstBox(trakChildren, "mdia");
    if (mdia == nullptr)
        decodeFailed(missing);
    const auto mdiaChildren = childrenOf(buffer, *mdia);
    const MP4BoxHeader* mdhd = findFirstBox(mdiaChildren, "mdhd");
    if (mdhd == nullptr)
        decodeFailed(missing);
    if (mdhd->payloadSize() < 4)
        decodeFailed("Invalid mdhd payload");
    const std::uint8_t* payload = buffer.data() + mdhd->payloadStart();
    if (payload[0] == 1) {
        if (mdhd->payloadSize() < 28)
            decodeFailed("Invalid mdhd v1 payload");
        return loadU32(payload + 20);
    }
    if (mdhd->payloadSize() < 20)
        decodeFailed("Invalid mdhd v0 payload");
    return loadU32(payload + 12);
}

SampleClock::SampleClock(ByteSpan buffer, const MP4BoxHeader& stts, std::uint32_t timescale)
    : reader_(buffer, stts.payloadStart(), stts.payloadEnd()), timescale_(timescale) {
    if (timescale == 0)
        decodeFailed("Invalid telemetry timescale");
    if (stts.payloadSize() < 8)
        decodeFailed("Invalid stts payload");
    reader_.readU32();  // version and flags
    entriesLeft_ = reader_.readU32();
}

double SampleClock::next() {
    while (!exhausted_ && samplesLeftInEntry_ == 0) {
        if (entriesLeft_ == 0) {
            exhausted_ = true;
            break;
        }
        if (reader_.end() - reader_.cursor() < 8)
            decodeFailed("stts table truncated");
        samplesLeftInEntry_ = reader_.readU32();
        delta_ = reader_.readU32();
        --entriesLeft_;
    }
    if (exhausted_) {
        ++fillSteps_;
        return lastTime_ + static_cast<double>(fillSteps_) / timescale_;
    }
    lastTime_ = static_cast<double>(decodeTime_) / timescale_;
    decodeTime_ += delta_;
    --samplesLeftInEntry_;
    return lastTime_;
}

std::vector<double> sampleTimes(ByteSpan buffer, const MP4BoxHeader& stts,
                                std::uint64_t sampleCount, std::uint32_t timescale) {
    SampleClock clock(buffer, stts, timescale);
    std::vector<double> times;
    for (std::uint64_t i = 0; i < sampleCount; ++i)
        times.push_back(clock.next());
    return times;
}

TelemetrySampleTables readTelemetrySampleTables(ByteSpan buffer, const MP4BoxHeader& trak,
                                                std::uint64_t fileSizeBytes) {
    const StblBoxes stbl = stblChildren(buffer, trak);
    const MP4BoxHeader* chunkOffsetBox = findFirstBox(stbl.children, "stco");
    if (chunkOffsetBox == nullptr)
        chunkOffsetBox = findFirstBox(stbl.children, "co64");
    if (chunkOffsetBox == nullptr)
        decodeFailed("Missing stco/co64 chunk offsets table");

    TelemetrySampleTables tables;
    tables.sizes = readSampleSizes(buffer, stbl.stsz, fileSizeBytes);
    tables.chunkOffsets = readChunkOffsets(buffer, *chunkOffsetBox);
    tables.stscEntries = readStscEntries(buffer, stbl.stsc);
    if (countMappedSamples(tables.sizes, tables.chunkOffsets, tables.stscEntries) <
        tables.sizes.count()) {
        decodeFailed("stsc mapping did not cover all samples");
    }
    tables.timescale = readMediaTimescale(buffer, trak);
    tables.stts = stbl.stts;
    SampleClock checkHeader(buffer, tables.stts, tables.timescale);
    return tables;
}

}  // namespace skelder
