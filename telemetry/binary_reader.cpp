#include "telemetry/binary_reader.hpp"

#include <bit>
#include <cstring>

#include "telemetry/extraction_error.hpp"
#include "telemetry/raw_values.hpp"

namespace skelder {

BinaryReader::BinaryReader(ByteSpan buffer, std::int64_t cursor, std::int64_t end)
    : buffer_(buffer), cursor_(cursor), end_(end) {
    // The limit never reaches past the buffer, whatever a caller computed from the file.
    const auto bufferSize = static_cast<std::int64_t>(buffer_.size());
    if (end_ > bufferSize)
        end_ = bufferSize;
    if (cursor_ < 0)
        cursor_ = end_;
}

const std::uint8_t* BinaryReader::take(std::int64_t byteCount) {
    if (cursor_ > end_ || byteCount > end_ - cursor_) {
        throw TelemetryExtractionError::decodeFailed("Binary read out of bounds");
    }
    const std::uint8_t* p = buffer_.data() + cursor_;
    cursor_ += byteCount;
    return p;
}

std::uint8_t BinaryReader::readU8() {
    return *take(1);
}
std::uint16_t BinaryReader::readU16() {
    return loadU16(take(2));
}
std::uint32_t BinaryReader::readU32() {
    return loadU32(take(4));
}
std::uint64_t BinaryReader::readU64() {
    return loadU64(take(8));
}

std::uint64_t BinaryReader::readUnsigned(int byteSize) {
    return loadUnsigned(take(byteSize), byteSize);
}

double BinaryReader::readF64() {
    return std::bit_cast<double>(readU64());
}

double BinaryReader::readRawValue(std::uint8_t rawType) {
    if (!isKnownRawType(rawType))
        return 0.0;
    return rawValueFromBits(rawType, readUnsigned(rawTypeByteSize(rawType)))->value;
}

std::string BinaryReader::readNullTerminatedString() {
    if (cursor_ >= end_) {
        throw TelemetryExtractionError::decodeFailed("Missing null-terminated string terminator");
    }
    const std::uint8_t* start = buffer_.data() + cursor_;
    const auto length = static_cast<std::size_t>(end_ - cursor_);
    const void* zero = std::memchr(start, 0, length);
    if (zero == nullptr) {
        throw TelemetryExtractionError::decodeFailed("Missing null-terminated string terminator");
    }
    const auto textLength =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - start);
    cursor_ += static_cast<std::int64_t>(textLength) + 1;
    if (!isValidUTF8(ByteSpan(start, textLength)))
        return {};
    return std::string(reinterpret_cast<const char*>(start), textLength);
}

bool isValidUTF8(ByteSpan bytes) noexcept {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const std::uint8_t lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int extra;
        std::uint32_t codePoint;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (n - i <= static_cast<std::size_t>(extra))
            return false;
        for (int k = 1; k <= extra; ++k) {
            const std::uint8_t next = bytes[i + static_cast<std::size_t>(k)];
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[extra] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

}  // namespace skelder
