#pragma once

// Reads the telemetry track back the way the app's reader does, written from the file format
// alone and sharing no code with the writer.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "box_walker.hpp"

namespace skelder::kovra::test {

struct DecodedRate {
    std::uint64_t intervalTicks = 0;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> channels;  // id, raw type
};

struct DecodedChannel {
    std::string tag;
    std::uint8_t calibrationType = 0;
    double gain = 1, offset = 0, minRaw = 0, maxRaw = 0;
    std::uint64_t mask = ~0ull;
};

struct DecodedSample {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    double ptsSeconds = 0;
};

struct DecodedPacket {
    std::size_t sampleIndex = 0;
    std::uint64_t headerTicks = 0;
    std::uint16_t flags = 0;
    std::vector<std::uint8_t> payload;
};

struct DecodedValue {
    std::uint16_t channelId = 0;
    double value = 0;        // calibrated
    std::int64_t ticks = 0;  // sample presentation time + cycle shift
    std::uint64_t headerTicks = 0;
};

struct DecodedTrack {
    Box trak;
    std::uint32_t timescale = 0;
    std::vector<DecodedSample> samples;
    std::vector<DecodedRate> rates;
    std::map<std::uint16_t, DecodedChannel> channels;
    std::vector<DecodedPacket> packets;
    std::vector<DecodedValue> values;
};

// Throws std::runtime_error when there is no "adrv" track or its boxes are incomplete.
DecodedTrack decodeTelemetry(const Mp4Source& source);

}  // namespace skelder::kovra::test
