#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "core/picture_orientation.hpp"
#include "core/speed_unit.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder {

// The one-line summary the file list shows for every file.
struct QuickTelemetryStats {
    double maxSpeedMPH = 0;
    double maxRPM = 0;
    double maxCombinedG = 0;
    std::optional<double> peakCombinedGSecond;
    double wotSeconds = 0;
    std::optional<double> durationSeconds;
    std::uint64_t fileSizeBytes = 0;
    // The top speed as recorded, in metres per second, never below 0: other units are
    // converted from it.
    double maxSpeedMps = 0;
    // How the picture is shown (the video track's display matrix), read with the scan so the
    // window never opens the file itself.
    PictureOrientation pictureOrientation;

    friend bool operator==(const QuickTelemetryStats&, const QuickTelemetryStats&) = default;
};

// Statistics over a decisecond grid (wide-open throttle: throttle ≥ 0.95 and brake ≤ 0.08).
QuickTelemetryStats computeQuickStats(const DecisecondGrid& grid, std::uint64_t fileSizeBytes,
                                      std::optional<double> durationSeconds);

// Loads the video duration of a file in seconds, or nothing when it cannot.
using VideoDurationLoader = std::function<std::optional<double>(const std::filesystem::path&)>;

// Loads how a file's picture is shown; upright and unmirrored when it cannot.
using PictureOrientationLoader = std::function<PictureOrientation(const std::filesystem::path&)>;

// Quick scan: the video duration, then a light extraction (no buckets, no packet timing).
// Fails with the extraction's error; a missing duration never fails the scan. A stop requested
// through `stop` ends the scan with CancellationError (the extraction checks it per sample).
QuickTelemetryStats quickStats(const TelemetryExtractionService& extractor,
                               const std::filesystem::path& inputURL,
                               const VideoDurationLoader& loadVideoDuration,
                               std::stop_token stop = {});

struct QuickScanPending {};
struct QuickScanScanning {};
struct QuickScanDone {
    QuickTelemetryStats stats;
};
struct QuickScanFailed {
    std::string description;
};
using QuickScanStatus =
    std::variant<QuickScanPending, QuickScanScanning, QuickScanDone, QuickScanFailed>;

// One entry of the file list.
struct DroppedFileItem {
    std::filesystem::path url;
    QuickScanStatus quickScanStatus = QuickScanPending{};

    std::string id() const;
    // The statistics line with the top speed in `speedUnit`, the failure's short class, or
    // "Stats pending".
    std::string statusText(SpeedUnit speedUnit = kDefaultSpeedUnit) const;
    // "H:MM:SS total" once scanned with a duration, else "Duration pending".
    std::string durationText() const;
};

// "No Kovra Data", "Not a Valid MP4", "Empty File" or "Unsupported File" for a failure text.
std::string classifyScanFailure(const std::string& description);

// Positional hours, minutes and seconds ("0:01:05" for 65 s), whole seconds.
std::string positionalDuration(double seconds);

}  // namespace skelder
