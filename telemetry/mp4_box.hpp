#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/binary_reader.hpp"

namespace skelder {

struct MP4BoxHeader {
    std::string type;  // four ASCII characters, "????" when not ASCII
    std::int64_t size = 0;
    std::int64_t offset = 0;
    std::int64_t headerSize = 8;

    std::int64_t payloadStart() const noexcept { return offset + headerSize; }
    std::int64_t payloadEnd() const noexcept { return offset + size; }
    std::int64_t payloadSize() const noexcept { return size - headerSize; }
};

// Parses the box header at `position`; the box must fit before `end`.
MP4BoxHeader parseBoxHeader(ByteSpan buffer, std::int64_t position, std::int64_t end);

// The same rules on the header's own bytes (the first 16, or all there are when fewer) of a
// box at `position` with `available` bytes before the end of its range.
MP4BoxHeader parseBoxHeaderBytes(ByteSpan headerBytes, std::int64_t position,
                                 std::int64_t available);

// The consecutive boxes filling [start, end). Fewer than 8 trailing bytes are ignored;
// any malformed header fails the whole listing.
std::vector<MP4BoxHeader> listChildBoxes(ByteSpan buffer, std::int64_t start, std::int64_t end);

inline std::vector<MP4BoxHeader> listChildBoxes(ByteSpan buffer, const MP4BoxHeader& parent) {
    return listChildBoxes(buffer, parent.payloadStart(), parent.payloadEnd());
}

// First box of a type (exact, case-sensitive), or nullptr.
const MP4BoxHeader* findFirstBox(const std::vector<MP4BoxHeader>& boxes, std::string_view type);

// Four bytes as ASCII text, "????" when any byte is outside ASCII.
std::string fourCharacterCode(const std::uint8_t* bytes);

}  // namespace skelder
