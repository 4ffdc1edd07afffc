#pragma once

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "telemetry/extraction_error.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// Reads the telemetry track of one recording. Implementations are stateless and
// may be called from several threads at once.
class TelemetryExtractionService {
  public:
    virtual ~TelemetryExtractionService() = default;

    // Throws TelemetryExtractionError, or std::filesystem::filesystem_error when the
    // file's attributes cannot be queried at all (for example a missing file). A stop
    // requested through `stop` ends the call with CancellationError.
    virtual ParsedTelemetryData extractTelemetry(const std::filesystem::path& inputURL,
                                                 bool includeFeatureBuckets,
                                                 bool includePacketTiming,
                                                 std::stop_token stop = {}) const = 0;
};

// Reads the file with positional reads of the ranges it needs (the movie box, then the
// telemetry samples), checking `stop` for every sample. A file that shrinks, changes or fails
// to read meanwhile ends the call with "Failed to read file: " and a description.
class BasicTelemetryExtractionService : public TelemetryExtractionService {
  public:
    ParsedTelemetryData extractTelemetry(const std::filesystem::path& inputURL,
                                         bool includeFeatureBuckets, bool includePacketTiming,
                                         std::stop_token stop = {}) const override;
};

// Median of header time minus presentation time over the packets that have one
// (upper middle value for an even count); absent when none has a presentation time.
std::optional<double> medianHeaderMinusPTS(const std::vector<PacketRecord>& packetRecords);

// Diagnostic lines comparing packet header times with sample presentation times.
std::vector<std::string> telemetryTimingReport(const std::vector<PacketRecord>& packetRecords,
                                               const DecisecondGrid& overlaySamplesByDecisecond,
                                               std::optional<double> headerMinusPTSSeconds);

}  // namespace skelder
