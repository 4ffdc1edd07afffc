#include "kovra_writer/track_boxes.hpp"

#include <limits>
#include <stdexcept>
#include <string>

#include "kovra_writer/box_builder.hpp"

namespace skelder::kovra {

namespace {

constexpr std::uint32_t kU32Max = std::numeric_limits<std::uint32_t>::max();

std::uint32_t narrow32(std::uint64_t v, const char* what) {
    if (v > kU32Max) {
        throw std::out_of_range(std::string(what) + " " + std::to_string(v) +
                                " does not fit 32 bits");
    }
    return static_cast<std::uint32_t>(v);
}

void unityMatrix(ByteWriter& w) {
    const std::uint32_t matrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (std::uint32_t v : matrix) {
        w.u32(v);
    }
}

Bytes container(std::string_view type, std::vector<Bytes> children, const TrackTables::Edit& edit) {
    if (edit) {
        edit(children);
    }
    return box(type, concatAll(children));
}

// Visual sample entry without decoder configuration: enough for players to list the stream.
Bytes emptyVisualSampleEntry(std::uint16_t width, std::uint16_t height) {
    ByteWriter w;
    w.zeros(6);
    w.u16(1);     // data reference index
    w.zeros(16);  // pre-defined and reserved
    w.u16(width);
    w.u16(height);
    w.u32(0x00480000);  // 72 dpi
    w.u32(0x00480000);
    w.u32(0);
    w.u16(1);     // frames per sample
    w.zeros(32);  // compressor name
    w.u16(0x0018);
    w.i16(-1);
    return box("mp4v", w.bytes());
}

}  // namespace

Bytes ftypBox() {
    ByteWriter w;
    w.fourcc("mp42");
    w.u32(0);
    w.fourcc("isom");
    w.fourcc("mp42");
    return box("ftyp", w.bytes());
}

Bytes mvhdBox(std::uint32_t timescale, std::uint64_t duration, std::uint32_t nextTrackId) {
    ByteWriter w;
    w.u32(0);  // creation time
    w.u32(0);  // modification time
    w.u32(timescale);
    w.u32(narrow32(duration, "movie duration"));
    w.u32(0x00010000);  // rate 1.0
    w.u16(0x0100);      // volume 1.0
    w.zeros(10);
    unityMatrix(w);
    w.zeros(24);
    w.u32(nextTrackId);
    return fullBox("mvhd", 0, 0, w.bytes());
}

Bytes tkhdBox(std::uint32_t trackId, std::uint64_t duration, std::uint32_t width,
              std::uint32_t height) {
    ByteWriter w;
    w.u32(0);
    w.u32(0);
    w.u32(trackId);
    w.u32(0);
    w.u32(narrow32(duration, "track duration"));
    w.zeros(8);
    w.u16(0);  // layer
    w.u16(0);  // alternate group
    w.u16(0);  // volume
    w.u16(0);
    unityMatrix(w);
    w.u32(width << 16);
    w.u32(height << 16);
    return fullBox("tkhd", 0, 0x000003, w.bytes());
}

Bytes mdhdBox(int version, std::uint32_t timescale, std::uint64_t duration) {
    ByteWriter w;
    if (version == 1) {
        w.u64(0);
        w.u64(0);
        w.u32(timescale);
        w.u64(duration);
    } else {
        w.u32(0);
        w.u32(0);
        w.u32(timescale);
        w.u32(narrow32(duration, "media duration"));
    }
    w.u16(0x55C4);  // "und"
    w.u16(0);
    return fullBox("mdhd", static_cast<std::uint8_t>(version), 0, w.bytes());
}

Bytes hdlrBox(std::string_view handlerType, std::string_view name) {
    ByteWriter w;
    w.u32(0);  // pre-defined
    w.fourcc(handlerType);
    w.zeros(12);
    w.cstring(name);
    return fullBox("hdlr", 0, 0, w.bytes());
}

Bytes mediaHeaderBox(MediaHeader kind) {
    switch (kind) {
        case MediaHeader::vmhd: {
            ByteWriter w;
            w.zeros(8);  // graphics mode and colour
            return fullBox("vmhd", 0, 1, w.bytes());
        }
        case MediaHeader::gmhd: {
            ByteWriter w;
            w.u16(0x0040);  // copy mode
            w.u16(0x8000);
            w.u16(0x8000);
            w.u16(0x8000);
            w.zeros(4);  // balance, reserved
            return box("gmhd", fullBox("gmin", 0, 0, w.bytes()));
        }
        case MediaHeader::nmhd:
        default:
            return fullBox("nmhd", 0, 0, {});
    }
}

Bytes dinfBox() {
    ByteWriter w;
    w.u32(1);
    w.raw(fullBox("url ", 0, 1, {}));
    return box("dinf", fullBox("dref", 0, 0, w.bytes()));
}

Bytes stsdBox(const std::vector<Bytes>& entries) {
    ByteWriter w;
    w.u32(narrow32(entries.size(), "sample entry count"));
    w.raw(concatAll(entries));
    return fullBox("stsd", 0, 0, w.bytes());
}

Bytes sttsBox(const std::vector<SttsEntry>& entries) {
    ByteWriter w;
    w.u32(narrow32(entries.size(), "stts entry count"));
    for (const auto& e : entries) {
        w.u32(e.sampleCount);
        w.u32(e.sampleDelta);
    }
    return fullBox("stts", 0, 0, w.bytes());
}

Bytes stscBox(const std::vector<StscEntry>& entries) {
    ByteWriter w;
    w.u32(narrow32(entries.size(), "stsc entry count"));
    for (const auto& e : entries) {
        w.u32(e.firstChunk);
        w.u32(e.samplesPerChunk);
        w.u32(e.sampleDescriptionIndex);
    }
    return fullBox("stsc", 0, 0, w.bytes());
}

Bytes stszBox(std::uint32_t defaultSize, std::uint32_t sampleCount,
              const std::vector<std::uint32_t>& sizes) {
    ByteWriter w;
    w.u32(defaultSize);
    w.u32(sampleCount);
    for (std::uint32_t size : sizes) {
        w.u32(size);
    }
    return fullBox("stsz", 0, 0, w.bytes());
}

Bytes chunkOffsetBox(const std::vector<std::uint64_t>& offsets, bool co64) {
    ByteWriter w;
    w.u32(narrow32(offsets.size(), "chunk count"));
    for (std::uint64_t offset : offsets) {
        if (co64) {
            w.u64(offset);
        } else {
            w.u32(narrow32(offset, "stco chunk offset"));
        }
    }
    return fullBox(co64 ? "co64" : "stco", 0, 0, w.bytes());
}

std::uint64_t mediaDuration(const TrackTables& tables) {
    std::uint64_t total = 0;
    for (const auto& e : tables.stts) {
        total += std::uint64_t{e.sampleCount} * e.sampleDelta;
    }
    return total;
}

Bytes trakBox(const TrackTables& t) {
    const std::uint64_t duration = mediaDuration(t);
    const std::uint64_t movieDuration =
        t.timescale == 0 ? 0
                         : static_cast<std::uint64_t>(static_cast<unsigned __int128>(duration) *
                                                      t.movieTimescale / t.timescale);
    const Bytes stsz =
        t.defaultSampleSize != 0
            ? stszBox(t.defaultSampleSize, t.sampleCountField, {})
            : stszBox(0, narrow32(t.sampleSizes.size(), "sample count"), t.sampleSizes);
    const Bytes stbl = container("stbl",
                                 {stsdBox(t.sampleEntries), sttsBox(t.stts), stscBox(t.stsc), stsz,
                                  chunkOffsetBox(t.chunkOffsets, t.co64)},
                                 t.editStbl);
    const Bytes minf =
        container("minf", {mediaHeaderBox(t.mediaHeader), dinfBox(), stbl}, t.editMinf);
    const Bytes mdia = container("mdia",
                                 {mdhdBox(t.mdhdVersion, t.timescale, duration),
                                  hdlrBox(t.handlerType, t.handlerName), minf},
                                 t.editMdia);
    return container("trak", {tkhdBox(t.trackId, movieDuration, t.width, t.height), mdia},
                     t.editTrak);
}

Bytes emptyVideoTrakBox(std::uint32_t trackId, std::uint32_t movieTimescale,
                        std::uint64_t durationInMovieUnits) {
    TrackTables t;
    t.trackId = trackId;
    t.handlerType = "vide";
    t.handlerName = "Camera";
    t.mediaHeader = MediaHeader::vmhd;
    t.timescale = movieTimescale;
    t.movieTimescale = movieTimescale;
    t.width = 1920;
    t.height = 1080;
    t.sampleEntries = {emptyVisualSampleEntry(1920, 1080)};
    // The track has no samples, so its tkhd carries the duration the tables cannot.
    t.editTrak = [&](std::vector<Bytes>& children) {
        children.front() = tkhdBox(trackId, durationInMovieUnits, 1920, 1080);
    };
    return trakBox(t);
}

}  // namespace skelder::kovra
