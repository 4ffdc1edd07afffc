#include "telemetry/mp4_box.hpp"

#include <algorithm>

#include "telemetry/extraction_error.hpp"

namespace skelder {

std::string fourCharacterCode(const std::uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] >= 0x80)
            return "????";
    }
    return std::string(reinterpret_cast<const char*>(bytes), 4);
}

MP4BoxHeader parseBoxHeader(ByteSpan buffer, std::int64_t position, std::int64_t end) {
    const auto bufferSize = static_cast<std::int64_t>(buffer.size());
    if (end > bufferSize)
        end = bufferSize;
    if (position < 0 || position > end || end - position < 8) {
        throw TelemetryExtractionError::decodeFailed("Invalid MP4 box header bounds");
    }
    return parseBoxHeaderBytes(
        buffer.subspan(static_cast<std::size_t>(position),
                       static_cast<std::size_t>(std::min<std::int64_t>(end - position, 16))),
        position, end - position);
}

MP4BoxHeader parseBoxHeaderBytes(ByteSpan headerBytes, std::int64_t position,
                                 std::int64_t available) {
    if (available < 8 || headerBytes.size() < 8) {
        throw TelemetryExtractionError::decodeFailed("Invalid MP4 box header bounds");
    }
    const std::uint8_t* p = headerBytes.data();
    const std::uint32_t size32 = loadU32(p);

    MP4BoxHeader header;
    header.type = fourCharacterCode(p + 4);
    header.offset = position;
    if (size32 == 0) {
        header.size = available;
        header.headerSize = 8;
    } else if (size32 == 1) {
        if (available < 16 || headerBytes.size() < 16) {
            throw TelemetryExtractionError::decodeFailed("Invalid large-size box header");
        }
        const std::uint64_t size64 = loadU64(p + 8);
        if (size64 < 16 || size64 > static_cast<std::uint64_t>(available)) {
            throw TelemetryExtractionError::decodeFailed("Invalid large-size box length");
        }
        header.size = static_cast<std::int64_t>(size64);
        header.headerSize = 16;
    } else {
        if (size32 < 8 || size32 > static_cast<std::uint64_t>(available)) {
            throw TelemetryExtractionError::decodeFailed("Invalid box size");
        }
        header.size = size32;
        header.headerSize = 8;
    }
    return header;
}

std::vector<MP4BoxHeader> listChildBoxes(ByteSpan buffer, std::int64_t start, std::int64_t end) {
    std::vector<MP4BoxHeader> boxes;
    std::int64_t position = start;
    while (position <= end - 8) {
        boxes.push_back(parseBoxHeader(buffer, position, end));
        position += boxes.back().size;
    }
    return boxes;
}

const MP4BoxHeader* findFirstBox(const std::vector<MP4BoxHeader>& boxes, std::string_view type) {
    for (const auto& box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

}  // namespace skelder
