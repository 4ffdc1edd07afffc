#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// One packet of the telemetry track as the recorder wrote it.
struct PacketRecord {
    std::uint64_t timestampTicks = 0;  // header time, 100 ns ticks
    std::uint16_t flags = 0;
    std::vector<std::uint8_t> payload;
    std::int64_t sampleIndex = 0;
    std::optional<double> samplePTSSeconds;
};

// Per-second maxima used by highlight scoring.
struct FeatureBucket {
    double speedMaxMps = 0;
    double throttleMax = 0;
    double brakeMax = 0;
    double rpmMax = 0;
    double latAbsMaxG = 0;
    double lonAbsMaxG = 0;
    std::int64_t sampleCount = 0;

    friend bool operator==(const FeatureBucket&, const FeatureBucket&) = default;
};

struct TimestampedFeatureBucket {
    std::int64_t second = 0;
    FeatureBucket bucket;

    friend bool operator==(const TimestampedFeatureBucket&,
                           const TimestampedFeatureBucket&) = default;
};

// The result of one full extraction.
struct ParsedTelemetryData {
    std::filesystem::path inputURL;
    std::uint64_t fileSizeBytes = 0;
    std::vector<PacketRecord> packetRecords;
    std::optional<double> headerMinusPTSSeconds;
    DecisecondGrid overlaySamplesByDecisecond;
    std::vector<TimestampedFeatureBucket> contiguousBuckets;
};

}  // namespace skelder
