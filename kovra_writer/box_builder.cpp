#include "kovra_writer/box_builder.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace skelder::kovra {

namespace {

constexpr std::uint64_t kNormalHeaderSize = 8;
constexpr std::uint64_t kLargeHeaderSize = 16;

}  // namespace

Bytes box(std::string_view type, std::span<const std::uint8_t> payload) {
    const std::uint64_t total = kNormalHeaderSize + payload.size();
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("box '" + std::string(type) + "' of " + std::to_string(total) +
                                " bytes needs a 64-bit size");
    }
    return boxWithSizeField(type, static_cast<std::uint32_t>(total), payload);
}

Bytes fullBoxPayload(std::uint8_t version, std::uint32_t flags,
                     std::span<const std::uint8_t> rest) {
    ByteWriter w;
    w.u8(version);
    w.unsignedN(flags, 3);
    w.raw(rest);
    return std::move(w).take();
}

Bytes fullBox(std::string_view type, std::uint8_t version, std::uint32_t flags,
              std::span<const std::uint8_t> rest) {
    return box(type, fullBoxPayload(version, flags, rest));
}

Bytes largeBox(std::string_view type, std::span<const std::uint8_t> payload) {
    return largeBoxWithSize(type, kLargeHeaderSize + payload.size(), payload);
}

Bytes boxHeader(std::string_view type, std::uint64_t payloadSize, bool forceLarge) {
    ByteWriter w;
    const std::uint64_t normalTotal = kNormalHeaderSize + payloadSize;
    if (!forceLarge && normalTotal <= std::numeric_limits<std::uint32_t>::max()) {
        w.u32(static_cast<std::uint32_t>(normalTotal));
        w.fourcc(type);
    } else {
        w.u32(1);
        w.fourcc(type);
        w.u64(kLargeHeaderSize + payloadSize);
    }
    return std::move(w).take();
}

Bytes boxWithSizeField(std::string_view type, std::uint32_t sizeField,
                       std::span<const std::uint8_t> payload) {
    ByteWriter w;
    w.u32(sizeField);
    w.fourcc(type);
    w.raw(payload);
    return std::move(w).take();
}

Bytes largeBoxWithSize(std::string_view type, std::uint64_t largeSize,
                       std::span<const std::uint8_t> payload) {
    ByteWriter w;
    w.u32(1);
    w.fourcc(type);
    w.u64(largeSize);
    w.raw(payload);
    return std::move(w).take();
}

Bytes concat(std::initializer_list<std::span<const std::uint8_t>> parts) {
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes concatAll(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace skelder::kovra
