#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "kovra_writer/byte_writer.hpp"

namespace skelder::kovra {

// Normal box: 32-bit total size, type, payload. Throws std::length_error when the box does not
// fit a 32-bit size (use largeBox then).
Bytes box(std::string_view type, std::span<const std::uint8_t> payload);

// Payload of a full box: version byte, 24-bit flags, then `rest`.
Bytes fullBoxPayload(std::uint8_t version, std::uint32_t flags, std::span<const std::uint8_t> rest);
Bytes fullBox(std::string_view type, std::uint8_t version, std::uint32_t flags,
              std::span<const std::uint8_t> rest);

// Box with a 64-bit size: 32-bit size field 1, type, 64-bit total size, payload.
Bytes largeBox(std::string_view type, std::span<const std::uint8_t> payload);

// Header of a box holding `payloadSize` bytes that are written separately (streamed mdat):
// 8 bytes, or 16 with a 64-bit size when forced or when the box exceeds 2^32 - 1 bytes.
Bytes boxHeader(std::string_view type, std::uint64_t payloadSize, bool forceLarge = false);

// Forged boxes for malformed inputs: the size fields are written as given, whatever the payload
// length (0, 4, more than the data, ...).
Bytes boxWithSizeField(std::string_view type, std::uint32_t sizeField,
                       std::span<const std::uint8_t> payload);
Bytes largeBoxWithSize(std::string_view type, std::uint64_t largeSize,
                       std::span<const std::uint8_t> payload);

Bytes concat(std::initializer_list<std::span<const std::uint8_t>> parts);
Bytes concatAll(const std::vector<Bytes>& parts);

}  // namespace skelder::kovra
