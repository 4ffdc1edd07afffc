#include "telemetry/quick_scan.hpp"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "core/cancellation.hpp"
#include "core/path_key.hpp"

namespace skelder {
namespace {

constexpr double kWideOpenThrottle = 0.95;
constexpr double kWideOpenBrakeLimit = 0.08;

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

QuickTelemetryStats computeQuickStats(const DecisecondGrid& grid, std::uint64_t fileSizeBytes,
                                      std::optional<double> durationSeconds) {
    double topSpeed = 0, topRPM = 0, topCombined = 0;
    std::optional<std::int64_t> peak;
    std::int64_t wideOpen = 0;
    for (const auto& [decisecond, sample] : grid) {
        topSpeed = std::max(topSpeed, sample.speedMps);
        topRPM = std::max(topRPM, sample.rpm);
        // hypot, not the square root of the sum of squares: accelerations near the top of the
        // double range would overflow in their squares.
        const double combined = std::hypot(sample.latG, sample.lonG);
        // Strictly greater: the earliest of equal peaks is named.
        if (combined > topCombined) {
            topCombined = combined;
            peak = decisecond;
        }
        if (sample.throttle >= kWideOpenThrottle && sample.brake <= kWideOpenBrakeLimit)
            ++wideOpen;
    }
    QuickTelemetryStats stats;
    // A speed near the top of the double range stays the largest finite number in mph.
    stats.maxSpeedMPH =
        std::clamp(speedInUnit(topSpeed, SpeedUnit::mph), 0.0, std::numeric_limits<double>::max());
    stats.maxSpeedMps = std::max(topSpeed, 0.0);
    stats.maxRPM = std::max(topRPM, 0.0);
    stats.maxCombinedG = std::max(topCombined, 0.0);
    if (peak)
        stats.peakCombinedGSecond = static_cast<double>(*peak) / 10.0;
    stats.wotSeconds = static_cast<double>(wideOpen) / 10.0;
    stats.durationSeconds = durationSeconds;
    stats.fileSizeBytes = fileSizeBytes;
    return stats;
}

QuickTelemetryStats quickStats(const TelemetryExtractionService& extractor,
                               const std::filesystem::path& inputURL,
                               const VideoDurationLoader& loadVideoDuration, std::stop_token stop) {
    throwIfCancelled(stop);
    std::optional<double> duration = loadVideoDuration ? loadVideoDuration(inputURL) : std::nullopt;
    if (duration && !std::isfinite(*duration))
        duration.reset();
    if (duration && *duration < 0)
        duration = 0.0;
    const ParsedTelemetryData data = extractor.extractTelemetry(inputURL, false, false, stop);
    return computeQuickStats(data.overlaySamplesByDecisecond, data.fileSizeBytes, duration);
}

std::string DroppedFileItem::id() const {
    return pathKey(url);
}

std::string DroppedFileItem::statusText(SpeedUnit speedUnit) const {
    if (const auto* done = std::get_if<QuickScanDone>(&quickScanStatus)) {
        const QuickTelemetryStats& s = done->stats;
        // In mph the figure is the one the statistics carry, as it always was.
        const double topSpeed = speedUnit == SpeedUnit::mph
                                    ? s.maxSpeedMPH
                                    : std::clamp(speedInUnit(s.maxSpeedMps, speedUnit), 0.0,
                                                 std::numeric_limits<double>::max());
        return fmt::sprintf("%.0f %s  |  %.0f rpm  |  WOT %.1fs  |  G %.2f", topSpeed,
                            std::string(speedUnitText(speedUnit)), s.maxRPM, s.wotSeconds,
                            s.maxCombinedG);
    }
    if (const auto* failed = std::get_if<QuickScanFailed>(&quickScanStatus)) {
        return classifyScanFailure(failed->description);
    }
    return "Stats pending";
}

std::string DroppedFileItem::durationText() const {
    if (const auto* done = std::get_if<QuickScanDone>(&quickScanStatus)) {
        if (done->stats.durationSeconds)
            return positionalDuration(*done->stats.durationSeconds) + " total";
    }
    return "Duration pending";
}

std::string classifyScanFailure(const std::string& description) {
    const std::string text = lowercased(description);
    const auto has = [&](const char* word) { return text.find(word) != std::string::npos; };
    if (has("adrv") || has("telemetry") || has("adco"))
        return "No Kovra Data";
    if (has("moov"))
        return "Not a Valid MP4";
    if (has("empty"))
        return "Empty File";
    return "Unsupported File";
}

std::string positionalDuration(double seconds) {
    const double whole = std::isfinite(seconds) ? std::clamp(std::floor(seconds), 0.0, 1e12) : 0.0;
    const auto total = static_cast<std::int64_t>(whole);
    return fmt::format("{}:{:02}:{:02}", total / 3600, total / 60 % 60, total % 60);
}

}  // namespace skelder
