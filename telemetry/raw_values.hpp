#pragma once

// The recorder's raw value types, the one table of them in the reader: 1 and 2 are 8-bit
// integers (signed, unsigned), 3 and 4 16-bit, 5 and 6 32-bit, 7 and 8 64-bit, 9 a 32-bit and
// 10 a 64-bit IEEE float, all big-endian.

#include <bit>
#include <cstdint>
#include <optional>

namespace skelder {

struct PayloadValue {
    double value = 0;
    std::uint64_t rawBits = 0;  // integers sign- or zero-extended, floats as their bit pattern
};

namespace raw_values_detail {

inline PayloadValue signedValue(std::int64_t v) {
    return {static_cast<double>(v), static_cast<std::uint64_t>(v)};
}

}  // namespace raw_values_detail

// Byte size of a raw value type code: unknown codes count 4 bytes. The value of a raw type
// from its big-endian bytes read as an unsigned integer of that size: nothing for an unknown
// type. Inline: the packet walk reads every value through them.

inline bool isKnownRawType(std::uint8_t rawType) noexcept {
    return rawType >= 1 && rawType <= 10;
}

inline int rawTypeByteSize(std::uint8_t rawType) noexcept {
    switch (rawType) {
        case 1:
        case 2:
            return 1;
        case 3:
        case 4:
            return 2;
        case 7:
        case 8:
        case 10:
            return 8;
        default:  // 5, 6, 9 and unknown codes
            return 4;
    }
}

inline std::optional<PayloadValue> rawValueFromBits(std::uint8_t rawType,
                                                    std::uint64_t bits) noexcept {
    switch (rawType) {
        case 1:
            return raw_values_detail::signedValue(static_cast<std::int8_t>(bits));
        case 3:
            return raw_values_detail::signedValue(static_cast<std::int16_t>(bits));
        case 5:
            return raw_values_detail::signedValue(static_cast<std::int32_t>(bits));
        case 7:
            return raw_values_detail::signedValue(static_cast<std::int64_t>(bits));
        case 2:
        case 4:
        case 6:
        case 8:
            return PayloadValue{static_cast<double>(bits), bits};
        case 9:
            return PayloadValue{std::bit_cast<float>(static_cast<std::uint32_t>(bits)), bits};
        case 10:
            return PayloadValue{std::bit_cast<double>(bits), bits};
        default:
            return std::nullopt;
    }
}

}  // namespace skelder
