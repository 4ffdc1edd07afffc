#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kovra_writer/byte_writer.hpp"

namespace skelder::kovra {

// Raw value type codes of the recorder; any other code is "unknown" (4 bytes wide where a
// width is needed).
inline constexpr std::uint8_t kRawInt8 = 1;
inline constexpr std::uint8_t kRawUInt8 = 2;
inline constexpr std::uint8_t kRawInt16 = 3;
inline constexpr std::uint8_t kRawUInt16 = 4;
inline constexpr std::uint8_t kRawInt32 = 5;
inline constexpr std::uint8_t kRawUInt32 = 6;
inline constexpr std::uint8_t kRawInt64 = 7;
inline constexpr std::uint8_t kRawUInt64 = 8;
inline constexpr std::uint8_t kRawFloat32 = 9;
inline constexpr std::uint8_t kRawFloat64 = 10;

// Ticks of 100 ns: the recorder's clock for packet headers and rate intervals.
inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;

// physical = offset + gain * clamp(raw, minRaw, maxRaw). The default limits are infinite, which
// the writer saturates to the raw type's own range, so nothing is clamped.
struct NumericCalibration {
    double gain = 1;
    double offset = 0;
    double minRaw = -std::numeric_limits<double>::infinity();
    double maxRaw = std::numeric_limits<double>::infinity();
};

// physical = raw bits AND mask. The mask is stored as the first value of the first definition,
// so with definitionCount 0 no mask is written (readers then use all bits).
struct BitfieldCalibration {
    std::uint64_t mask = ~0ull;
    int definitionCount = 1;
    int optionsPerDefinition = 1;
};

// No calibration data. Types 1 and 2 here forge a record whose calibration data is missing.
struct NoCalibration {
    std::uint8_t calibrationType = 0;
};

using Calibration = std::variant<NoCalibration, NumericCalibration, BitfieldCalibration>;

struct ChannelDefinition {
    std::uint16_t id = 0;
    std::string tag = {};
    Calibration calibration = NoCalibration{};
    std::uint8_t rawType = kRawInt16;
    std::uint64_t intervalTicks = kTicksPerSecond / 10;
    // false: the channel has a parameter record but no rate, so no values in packets.
    bool listedInRates = true;
    // Raw type byte of the parameter record; unset means rawType. Differs only in forged files.
    std::optional<std::uint8_t> declaredRawType = std::nullopt;
};

// One sampling rate: the channels recorded every intervalTicks, in payload order.
struct Rate {
    std::uint64_t intervalTicks = 0;
    std::vector<ChannelDefinition> channels = {};
};

// The channels listed in rates grouped by interval: one rate per distinct interval, in order of
// first appearance, channels in definition order.
std::vector<Rate> ratesOf(const std::vector<ChannelDefinition>& channels);

// Byte width of a raw type code; unknown codes count 4.
std::size_t rawTypeSize(std::uint8_t rawType);

// Writes `rawValue` in the raw type: integers are rounded to nearest and saturated to the type's
// range (NaN becomes 0); floats are converted. Unknown codes write nothing.
void appendRawValue(ByteWriter& out, std::uint8_t rawType, double rawValue);

// Raw value that calibrates to `physicalValue`: (v - offset) / gain for numeric calibrations
// (0 for gain 0), the value itself otherwise.
double rawForCalibrated(const ChannelDefinition& channel, double physicalValue);

}  // namespace skelder::kovra
