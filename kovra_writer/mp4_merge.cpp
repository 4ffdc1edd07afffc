#include "kovra_writer/mp4_merge.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "kovra_writer/file_io.hpp"
#include "telemetry/extraction_error.hpp"
#include "telemetry/mp4_box.hpp"

namespace skelder::kovra {

namespace {

struct BoxSpan {
    std::string type;
    std::uint64_t offset = 0;  // of the header
    std::uint64_t size = 0;    // header included
    std::uint64_t headerSize = 8;
    std::uint64_t payload() const { return offset + headerSize; }
    std::uint64_t end() const { return offset + size; }
};

std::uint64_t readBE(const std::uint8_t* p, int byteCount) {
    std::uint64_t v = 0;
    for (int i = 0; i < byteCount; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
}

void writeBE(std::uint8_t* p, std::uint64_t v, int byteCount) {
    for (int i = byteCount - 1; i >= 0; --i, v >>= 8) {
        p[i] = static_cast<std::uint8_t>(v);
    }
}

// Parses the box header at p from its first (up to) 16 bytes; `limit` ends the enclosing range.
// The reader's own rules: a box the reader would refuse is not rewritten either.
BoxSpan parseHeader(const std::uint8_t* h, std::uint64_t available, std::uint64_t p,
                    std::uint64_t limit) {
    try {
        const MP4BoxHeader header =
            parseBoxHeaderBytes(ByteSpan(h, available), static_cast<std::int64_t>(p),
                                static_cast<std::int64_t>(limit - p));
        return {header.type, p, static_cast<std::uint64_t>(header.size),
                static_cast<std::uint64_t>(header.headerSize)};
    } catch (const TelemetryExtractionError&) {
        throw std::runtime_error("input MP4 has a malformed '" + fourCharacterCode(h + 4) +
                                 "' box at offset " + std::to_string(p));
    }
}

std::vector<BoxSpan> topLevelBoxes(const InputFile& in) {
    std::vector<BoxSpan> boxes;
    std::uint64_t p = 0;
    while (in.size() - p >= 8) {
        const std::uint64_t available = std::min<std::uint64_t>(16, in.size() - p);
        const Bytes h = in.read(p, available);
        boxes.push_back(parseHeader(h.data(), available, p, in.size()));
        p = boxes.back().end();
    }
    return boxes;
}

std::vector<BoxSpan> childBoxes(const Bytes& bytes, std::uint64_t start, std::uint64_t end) {
    std::vector<BoxSpan> boxes;
    std::uint64_t p = start;
    while (end - p >= 8) {
        const std::uint64_t available = std::min<std::uint64_t>(16, end - p);
        boxes.push_back(parseHeader(bytes.data() + p, available, p, end));
        p = boxes.back().end();
    }
    return boxes;
}

std::optional<BoxSpan> firstChild(const Bytes& bytes, const BoxSpan& parent,
                                  std::string_view type) {
    for (auto& child : childBoxes(bytes, parent.payload(), parent.end())) {
        if (child.type == type) {
            return child;
        }
    }
    return std::nullopt;
}

// Where the copied top-level boxes moved to: a byte at old offset x in [oldStart, oldEnd) is now
// at x + shift.
struct Move {
    std::uint64_t oldStart = 0;
    std::uint64_t oldEnd = 0;
    std::int64_t shift = 0;
};

std::uint64_t relocate(const std::vector<Move>& moves, std::uint64_t oldOffset) {
    for (const auto& m : moves) {
        if (oldOffset >= m.oldStart && oldOffset < m.oldEnd) {
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(oldOffset) + m.shift);
        }
    }
    throw std::runtime_error("chunk offset " + std::to_string(oldOffset) +
                             " lies outside the media boxes of the input");
}

void relocateChunkOffsets(Bytes& moov, const BoxSpan& table, const std::vector<Move>& moves) {
    const int width = table.type == "co64" ? 8 : 4;
    if (table.size - table.headerSize < 8) {
        throw std::runtime_error("input has a truncated " + table.type + " box");
    }
    const std::uint64_t count = readBE(moov.data() + table.payload() + 4, 4);
    if (count > (table.end() - table.payload() - 8) / width) {
        throw std::runtime_error("input has a truncated " + table.type + " box");
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint8_t* entry = moov.data() + table.payload() + 8 + i * width;
        const std::uint64_t moved = relocate(moves, readBE(entry, width));
        if (width == 4 && moved > std::numeric_limits<std::uint32_t>::max()) {
            throw std::runtime_error("relocated chunk offset does not fit stco");
        }
        writeBE(entry, moved, width);
    }
}

void relocateTrack(Bytes& moov, const BoxSpan& trak, const std::vector<Move>& moves) {
    const auto mdia = firstChild(moov, trak, "mdia");
    const auto minf = mdia ? firstChild(moov, *mdia, "minf") : std::nullopt;
    const auto stbl = minf ? firstChild(moov, *minf, "stbl") : std::nullopt;
    if (!stbl) {
        return;  // no sample table, nothing stored in the mdat
    }
    for (const auto& child : childBoxes(moov, stbl->payload(), stbl->end())) {
        if (child.type == "stco" || child.type == "co64") {
            relocateChunkOffsets(moov, child, moves);
        }
    }
}

// The movie header fields the merge reads and updates; offsets are into the moov bytes.
struct MovieHeader {
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint32_t nextTrackId = 0;
    std::uint64_t durationAt = 0;
    int durationWidth = 4;
    std::uint64_t nextTrackIdAt = 0;
};

MovieHeader readMovieHeader(const Bytes& moov, const BoxSpan& mvhd) {
    const std::uint64_t p = mvhd.payload();
    const bool v1 = mvhd.size - mvhd.headerSize >= 1 && moov[p] == 1;
    const std::uint64_t needed = v1 ? 112 : 100;
    if (mvhd.size - mvhd.headerSize < needed) {
        throw std::runtime_error("input has a truncated mvhd box");
    }
    MovieHeader h;
    h.timescale = static_cast<std::uint32_t>(readBE(moov.data() + p + (v1 ? 20 : 12), 4));
    h.durationAt = p + (v1 ? 24 : 16);
    h.durationWidth = v1 ? 8 : 4;
    h.duration = readBE(moov.data() + h.durationAt, h.durationWidth);
    h.nextTrackIdAt = p + needed - 4;
    h.nextTrackId = static_cast<std::uint32_t>(readBE(moov.data() + h.nextTrackIdAt, 4));
    if (h.timescale == 0 || h.nextTrackId == 0 ||
        h.nextTrackId == std::numeric_limits<std::uint32_t>::max()) {
        throw std::runtime_error("input mvhd has no usable timescale or next track ID");
    }
    return h;
}

}  // namespace

void appendTelemetryTrack(const std::filesystem::path& inputMp4Path,
                          const std::filesystem::path& outputPath,
                          const RecordingOptions& options) {
    if (std::filesystem::exists(outputPath) &&
        std::filesystem::equivalent(inputMp4Path, outputPath)) {
        throw std::invalid_argument("output must not be the input file");
    }
    const InputFile input(inputMp4Path);
    const std::vector<BoxSpan> boxes = topLevelBoxes(input);
    const auto isType = [](std::string_view t) {
        return [t](const BoxSpan& b) { return b.type == t; };
    };
    if (std::count_if(boxes.begin(), boxes.end(), isType("moov")) != 1) {
        throw std::runtime_error("input must hold exactly one moov box");
    }
    if (std::any_of(boxes.begin(), boxes.end(), isType("moof"))) {
        throw std::runtime_error("fragmented MP4 input is not supported");
    }

    // Every box but the moov is copied in order; the boxes after the moov move up by its size.
    std::vector<Move> moves;
    std::uint64_t copiedSize = 0;
    const BoxSpan* oldMoov = nullptr;
    for (const auto& b : boxes) {
        if (b.type == "moov") {
            oldMoov = &b;
            continue;
        }
        moves.push_back(
            {b.offset, b.end(),
             static_cast<std::int64_t>(copiedSize) - static_cast<std::int64_t>(b.offset)});
        copiedSize += b.size;
    }

    Bytes moov = input.read(oldMoov->offset, oldMoov->size);
    const BoxSpan moovSpan{"moov", 0, oldMoov->size, oldMoov->headerSize};
    const auto mvhd = firstChild(moov, moovSpan, "mvhd");
    if (!mvhd) {
        throw std::runtime_error("input moov has no mvhd box");
    }
    MovieHeader header = readMovieHeader(moov, *mvhd);
    for (const auto& child : childBoxes(moov, moovSpan.payload(), moovSpan.end())) {
        if (child.type == "trak") {
            relocateTrack(moov, child, moves);
        }
    }

    RecordingOptions o = options;
    if (o.durationSeconds <= 0) {
        o.durationSeconds = static_cast<double>(header.duration) / header.timescale;
    }
    const std::vector<Bytes> samples = buildTelemetrySamples(o);
    const std::uint64_t samplesSize =
        std::accumulate(samples.begin(), samples.end(), std::uint64_t{0},
                        [](std::uint64_t sum, const Bytes& s) { return sum + s.size(); });
    const Bytes mdatHeader = boxHeader("mdat", samplesSize);
    const std::uint64_t firstSample = copiedSize + mdatHeader.size();
    o.useCo64 = o.useCo64 || firstSample + samplesSize > std::numeric_limits<std::uint32_t>::max();
    const TrackTables tables =
        telemetryTrackTables(o, samples, firstSample, header.nextTrackId, header.timescale);

    const std::uint64_t telemetryDuration = static_cast<std::uint64_t>(
        static_cast<unsigned __int128>(mediaDuration(tables)) * header.timescale / o.timescale);
    const std::uint64_t maxDuration = header.durationWidth == 8
                                          ? std::numeric_limits<std::uint64_t>::max()
                                          : std::numeric_limits<std::uint32_t>::max();
    if (telemetryDuration > header.duration && telemetryDuration <= maxDuration) {
        writeBE(moov.data() + header.durationAt, telemetryDuration, header.durationWidth);
    }
    writeBE(moov.data() + header.nextTrackIdAt, header.nextTrackId + 1, 4);

    Bytes moovPayload(moov.begin() + static_cast<std::ptrdiff_t>(moovSpan.payload()), moov.end());
    const Bytes trak = trakBox(tables);
    moovPayload.insert(moovPayload.end(), trak.begin(), trak.end());

    OutputFile out(outputPath);
    for (const auto& b : boxes) {
        if (b.type != "moov") {
            input.copyTo(out, b.offset, b.size);
        }
    }
    out.write(mdatHeader);
    for (const auto& sample : samples) {
        out.write(sample);
    }
    out.write(boxHeader("moov", moovPayload.size()));
    out.write(moovPayload);
    out.finish();
}

}  // namespace skelder::kovra
