// Estimating the telemetry advance of a 20-minute sample recording from its engine sound: the
// telemetry read, the sound of the changing stretches decoded and analysed, the shift searched.
// Target: under 5 s on a 2-core machine.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>

#include "samples/sample_recording.hpp"
#include "sync/telemetry_offset.hpp"

namespace {

// Written once per run (it takes a while: 20 minutes of video and sound) and removed at exit.
class TwentyMinuteRecording {
  public:
    TwentyMinuteRecording()
        : path_(std::filesystem::temp_directory_path() /
                ("skelder-bench-sync-" + std::to_string(::getpid()) + ".mp4")) {
        skelder::samples::SampleOptions options;
        options.seconds = 20 * 60;
        options.width = 320;
        options.height = 180;
        options.sound.roadNoiseLevel = 2;
        options.sound.windLevel = 1;
        skelder::samples::writeSampleRecording(path_, options);
    }
    ~TwentyMinuteRecording() { std::filesystem::remove(path_); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

const std::filesystem::path& twentyMinuteRecording() {
    static const TwentyMinuteRecording recording;
    return recording.path();
}

void BM_EstimateTelemetryOffsetTwentyMinutes(benchmark::State& state) {
    const auto& path = twentyMinuteRecording();
    skelder::sync::TelemetryOffsetEstimate estimate;
    for (auto _ : state) {
        estimate = skelder::sync::estimateTelemetryOffset(path);
        benchmark::DoNotOptimize(estimate);
    }
    state.counters["offsetMs"] = estimate.offsetMilliseconds.value_or(0);
    state.counters["confidence"] = estimate.confidence;
    state.counters["analysedSeconds"] = estimate.analysedSeconds;
    state.counters["fileMiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
}

BENCHMARK(BM_EstimateTelemetryOffsetTwentyMinutes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
