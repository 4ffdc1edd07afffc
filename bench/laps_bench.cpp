// The laps of a one-hour recording from its telemetry alone: the lap length, every crossing of
// the line, the laps and the circuit's outline. Target: under 100 ms on a 2-core machine.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "laps/lap_analysis.hpp"
#include "samples/drive_simulation.hpp"
#include "samples/sample_telemetry.hpp"
#include "telemetry/extraction_service.hpp"

namespace {

// An hour of the sample car lapping the national circuit, as the recorder writes it (every
// channel at its own rate, the sensors' noise), read back into the decisecond grid once.
const skelder::DecisecondGrid& hourOfLaps() {
    static const skelder::DecisecondGrid grid = [] {
        const skelder::samples::DriveSimulation drive({.durationSeconds = 3600});
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() /
            ("skelder-bench-laps-" + std::to_string(::getpid()) + ".mp4");
        skelder::kovra::writeRecording(path,
                                       skelder::samples::driveTelemetryOptions(drive, 3600, 0.65));
        skelder::DecisecondGrid read =
            skelder::BasicTelemetryExtractionService()
                .extractTelemetry(path, false, false)
                .overlaySamplesByDecisecond;
        std::filesystem::remove(path);
        return read;
    }();
    return grid;
}

void BM_LapsOfAnHour(benchmark::State& state) {
    const skelder::DecisecondGrid& grid = hourOfLaps();
    std::size_t laps = 0;
    for (auto _ : state) {
        const skelder::laps::LapAnalysis analysis = skelder::laps::analyseLaps(grid);
        laps = analysis.laps.size();
        benchmark::DoNotOptimize(analysis);
    }
    state.counters["laps"] = static_cast<double>(laps);
}
BENCHMARK(BM_LapsOfAnHour)->Unit(benchmark::kMillisecond);

}  // namespace
