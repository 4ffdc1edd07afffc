#pragma once

#include <filesystem>
#include <optional>
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
    // file's attributes cannot be queried at all (for example a missing file).
    virtual ParsedTelemetryData extractTelemetry(const std::filesystem::path& inputURL,
                                                 bool includeFeatureBuckets,
                                                 bool includePacketTiming) const = 0;
};

class BasicTelemetryExtractionService : public TelemetryExtractionService {
  public:
    ParsedTelemetryData extractTelemetry(const std::filesystem::path& inputURL,
                                         bool includeFeatureBuckets,
                                         bool includePacketTiming) const override;
};

// Median of header time minus presentation time over the packets that have one
// (upper middle value for an even count); absent when none has a presentation time.
std::optional<double> medianHeaderMinusPTS(const std::vector<PacketRecord>& packetRecords);

// Diagnostic lines comparing packet header times with sample presentation times.
std::vector<std::string> telemetryTimingReport(const std::vector<PacketRecord>& packetRecords,
                                               const DecisecondGrid& overlaySamplesByDecisecond,
                                               std::optional<double> headerMinusPTSSeconds);

}  // namespace skelder
