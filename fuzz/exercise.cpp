#include "fuzz/exercise.hpp"

#include <cmath>
#include <cstdlib>

#include "telemetry/buffer_extraction.hpp"
#include "telemetry/extraction_error.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::fuzz {

void exerciseExtraction(const std::uint8_t* data, std::size_t size) {
    const ByteSpan bytes(data, size);
    for (const bool full : {false, true}) {
        try {
            const ParsedTelemetryData result = extractTelemetryFromBuffer(bytes, full, full);
            const DecisecondGrid& grid = result.overlaySamplesByDecisecond;
            double sum = 0;
            for (const auto& [decisecond, sample] : grid) {
                // Only finite values may reach the grid.
                if (!std::isfinite(sample.speedMps) || !std::isfinite(sample.rpm) ||
                    !std::isfinite(sample.latG) || !std::isfinite(sample.steeringDeg)) {
                    std::abort();
                }
                sum += sample.speedMps + static_cast<double>(decisecond);
            }
            for (const auto& bucket : result.contiguousBuckets)
                sum += bucket.bucket.rpmMax;
            const auto report =
                telemetryTimingReport(result.packetRecords, grid, result.headerMinusPTSSeconds);
            if (report.empty() || (!full && !result.packetRecords.empty()))
                std::abort();
            volatile double sink = sum;
            (void)sink;
        } catch (const TelemetryExtractionError&) {
        }
    }
}

}  // namespace skelder::fuzz
