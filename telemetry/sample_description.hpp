#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "telemetry/mp4_box.hpp"

namespace skelder {

struct RateChannelDefinition {
    std::uint16_t channelID = 0;
    std::uint8_t rawType = 0;
};

// One sampling rate: every `intervalTicks` the payload carries one value per channel.
struct RateDefinition {
    std::uint64_t intervalTicks = 0;
    std::vector<RateChannelDefinition> channels;
};

struct NumericCalibration {
    double gain = 1;
    double offset = 0;
    double minRaw = 0;
    double maxRaw = 0;
};
struct BitfieldCalibration {
    std::uint64_t mask = ~std::uint64_t{0};
};
struct NoCalibration {};
using CalibrationInfo = std::variant<NumericCalibration, BitfieldCalibration, NoCalibration>;

struct ChannelInfo {
    std::uint16_t channelID = 0;
    std::string tag;
    std::uint8_t calibrationType = 0;
    std::optional<std::uint8_t> rawType;  // absent when no rate lists the channel
    CalibrationInfo calibration = NoCalibration{};
};

struct TelemetrySampleDescription {
    std::vector<RateDefinition> rates;
    std::uint64_t minimumIntervalTicks = 1;
    std::map<std::uint16_t, ChannelInfo> channels;
};

// Parses the recorder's "adco" sample entry with its adud/adcr/adcp children.
TelemetrySampleDescription parseAdcoSampleEntry(ByteSpan buffer, const MP4BoxHeader& adcoHeader);

}  // namespace skelder
