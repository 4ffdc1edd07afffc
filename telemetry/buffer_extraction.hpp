#pragma once

#include "telemetry/binary_reader.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// The extraction after validation and reading: parses a whole recording held in memory.
// inputURL and fileSizeBytes of the result are left for the caller.
ParsedTelemetryData extractTelemetryFromBuffer(ByteSpan buffer, bool includeFeatureBuckets,
                                               bool includePacketTiming);

}  // namespace skelder
