#pragma once

#include <stop_token>

#include "telemetry/binary_reader.hpp"
#include "telemetry/byte_source.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// The extraction after validation: reads the movie box and then the telemetry samples from
// `source` and decodes them. inputURL and fileSizeBytes of the result are left for the
// caller. When the source reports that its bytes changed while they were read, that read
// failure is what the call throws, whatever the parser made of them; a stop requested through
// `stop` ends the call with CancellationError.
ParsedTelemetryData extractTelemetryFromSource(ByteSource& source, bool includeFeatureBuckets,
                                               bool includePacketTiming, std::stop_token stop = {});

// The same over a whole recording held in memory.
ParsedTelemetryData extractTelemetryFromBuffer(ByteSpan buffer, bool includeFeatureBuckets,
                                               bool includePacketTiming);

}  // namespace skelder
