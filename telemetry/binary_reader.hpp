#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "telemetry/raw_values.hpp"

namespace skelder {

using ByteSpan = std::span<const std::uint8_t>;

// A bounds-checked big-endian cursor over [cursor, end) of a buffer. Every failed
// read throws TelemetryExtractionError (decodeFailed) and leaves the cursor where it was.
class BinaryReader {
  public:
    BinaryReader(ByteSpan buffer, std::int64_t cursor, std::int64_t end);

    std::uint8_t readU8();
    std::uint16_t readU16();
    std::uint32_t readU32();
    std::uint64_t readU64();
    // Unsigned big-endian integer of 1, 2, 4 or 8 bytes.
    std::uint64_t readUnsigned(int byteSize);
    double readF64();
    // A value of a raw type code as a double; codes outside 1...10 read 0.0 and consume nothing.
    double readRawValue(std::uint8_t rawType);
    // Bytes up to the next zero byte before `end`, decoded as UTF-8 (invalid UTF-8 gives "").
    std::string readNullTerminatedString();

    std::int64_t cursor() const noexcept { return cursor_; }
    std::int64_t end() const noexcept { return end_; }
    bool atEnd() const noexcept { return cursor_ >= end_; }

  private:
    const std::uint8_t* take(std::int64_t byteCount);

    ByteSpan buffer_;
    std::int64_t cursor_;
    std::int64_t end_;
};

// Big-endian loads from memory the caller has already bounds-checked.
inline std::uint16_t loadU16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t loadU32(const std::uint8_t* p) noexcept {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}
inline std::uint64_t loadU64(const std::uint8_t* p) noexcept {
    return (std::uint64_t{loadU32(p)} << 32) | loadU32(p + 4);
}
inline std::uint64_t loadUnsigned(const std::uint8_t* p, int byteSize) noexcept {
    std::uint64_t value = 0;
    for (int i = 0; i < byteSize; ++i)
        value = (value << 8) | p[i];
    return value;
}

// Whether bytes form valid UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUTF8(ByteSpan bytes) noexcept;

}  // namespace skelder
