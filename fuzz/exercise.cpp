#include "fuzz/exercise.hpp"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "telemetry/extraction_error.hpp"
#include "telemetry/extraction_service.hpp"
#include "telemetry/quick_scan.hpp"
#include "telemetry/source_extraction.hpp"

namespace skelder::fuzz {

namespace {

bool allFinite(std::initializer_list<double> values) {
    for (const double value : values) {
        if (!std::isfinite(value))
            return false;
    }
    return true;
}

}  // namespace

void exerciseExtraction(const std::uint8_t* data, std::size_t size) {
    const ByteSpan bytes(data, size);
    for (const bool full : {false, true}) {
        try {
            const ParsedTelemetryData result = extractTelemetryFromBuffer(bytes, full, full);
            const DecisecondGrid& grid = result.overlaySamplesByDecisecond;
            double sum = 0;
            for (const auto& [decisecond, s] : grid) {
                // Only finite values may reach the grid, the buckets and the statistics.
                if (!allFinite(
                        {s.speedMps, s.throttle, s.brake, s.rpm, s.latG, s.lonG, s.steeringDeg})) {
                    std::abort();
                }
                sum += s.speedMps + static_cast<double>(decisecond);
            }
            for (const auto& [second, b] : result.contiguousBuckets) {
                if (!allFinite({b.speedMaxMps, b.throttleMax, b.brakeMax, b.rpmMax, b.latAbsMaxG,
                                b.lonAbsMaxG})) {
                    std::abort();
                }
                sum += b.rpmMax;
            }
            const QuickTelemetryStats stats = computeQuickStats(grid, size, std::nullopt);
            if (!allFinite({stats.maxSpeedMPH, stats.maxRPM, stats.maxCombinedG, stats.wotSeconds}))
                std::abort();
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
