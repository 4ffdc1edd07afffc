// Extraction speed on a generated one-hour recording. Target: under 0.2 s for a full
// extraction (buckets and packet timing) on a 2-core machine.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench/hour_recording.hpp"
#include "telemetry/extraction_service.hpp"

namespace {

const std::filesystem::path& hourRecording() {
    static const std::filesystem::path path = [] {
        auto file = std::filesystem::temp_directory_path() / "skelder-bench-hour.mp4";
        skelder::kovra::writeRecording(file, skelder::bench::hourRecordingOptions());
        return file;
    }();
    return path;
}

void extract(benchmark::State& state, bool buckets, bool timing) {
    const skelder::BasicTelemetryExtractionService service;
    const auto& path = hourRecording();
    std::size_t deciseconds = 0;
    for (auto _ : state) {
        const auto data = service.extractTelemetry(path, buckets, timing);
        deciseconds = data.overlaySamplesByDecisecond.size();
        benchmark::DoNotOptimize(data);
    }
    state.counters["deciseconds"] = static_cast<double>(deciseconds);
    state.counters["fileMiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
}

void BM_FullExtractionOneHour(benchmark::State& state) {
    extract(state, true, true);
}
void BM_QuickExtractionOneHour(benchmark::State& state) {
    extract(state, false, false);
}

BENCHMARK(BM_FullExtractionOneHour)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_QuickExtractionOneHour)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
