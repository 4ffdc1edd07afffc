// Quick extraction of a 4 GiB recording (a hole of padding, three minutes of telemetry): only
// the movie box and the telemetry samples are read, so peak memory stays far below the file's
// size. Target: < 100 MiB.
#include <fmt/format.h>
#include <sys/resource.h>

#include <filesystem>

#include "kovra_writer/kovra_writer.hpp"
#include "telemetry/extraction_service.hpp"

namespace {

double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

}  // namespace

int main() {
    const auto path = std::filesystem::temp_directory_path() / "skelder-bench-4gib.mp4";
    skelder::kovra::RecordingOptions options;
    options.durationSeconds = 180;
    options.includeVideoTrack = true;
    options.mdatPaddingBytes = 4ull << 30;
    skelder::kovra::writeRecording(path, options);
    const double beforeMiB = peakResidentMiB();

    const auto data =
        skelder::BasicTelemetryExtractionService().extractTelemetry(path, false, false);
    const double afterMiB = peakResidentMiB();
    fmt::print("file: {:.2f} GiB, grid: {} deciseconds\n",
               static_cast<double>(std::filesystem::file_size(path)) / (1 << 30),
               data.overlaySamplesByDecisecond.size());
    fmt::print("peak RSS before extraction: {:.1f} MiB, after: {:.1f} MiB (target < 100 MiB)\n",
               beforeMiB, afterMiB);
    std::filesystem::remove(path);
    return afterMiB < 100.0 ? 0 : 1;
}
