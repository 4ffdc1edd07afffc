// Extraction speed. Targets on a 2-core machine: a full extraction (buckets and packet timing)
// of a one-hour recording under 0.2 s; a twenty-minute drive whose rate table also declares
// 20,000 rates without channels within 3 times the plain drive; 64,000 channels nobody reads
// under 1 s. The other shapes (20,000 rates of unread channels that are rarely due, a sample per
// payload cycle, deeply nested boxes) must stay close to the plain drive too.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/hour_recording.hpp"
#include "kovra_writer/costly_shapes.hpp"
#include "kovra_writer/file_io.hpp"
#include "telemetry/extraction_service.hpp"

namespace {

namespace kovra = skelder::kovra;

// Each recording is written once per run into the temporary directory, and removed at exit.
struct WrittenRecordings {
    std::map<std::string, std::filesystem::path> paths;
    ~WrittenRecordings() {
        std::error_code ignored;
        for (const auto& [name, path] : paths)
            std::filesystem::remove(path, ignored);
    }
};

const std::filesystem::path& recording(const std::string& name,
                                       const std::function<kovra::Bytes()>& inMemory,
                                       const std::function<kovra::RecordingOptions()>& options) {
    static WrittenRecordings written;
    auto [found, added] = written.paths.try_emplace(name);
    if (added) {
        found->second = std::filesystem::temp_directory_path() /
                        ("skelder-bench-" + std::to_string(::getpid()) + "-" + name + ".mp4");
        if (inMemory) {
            kovra::OutputFile out(found->second);
            out.write(inMemory());
            out.finish();
        } else {
            kovra::writeRecording(found->second, options());
        }
    }
    return found->second;
}

kovra::RecordingOptions twentyMinuteDrive() {
    kovra::RecordingOptions drive;
    drive.durationSeconds = 20 * 60;
    return drive;
}

void extract(benchmark::State& state, const std::filesystem::path& path, bool buckets,
             bool timing) {
    const skelder::BasicTelemetryExtractionService service;
    std::size_t deciseconds = 0;
    for (auto _ : state) {
        const auto data = service.extractTelemetry(path, buckets, timing);
        deciseconds = data.overlaySamplesByDecisecond.size();
        benchmark::DoNotOptimize(data);
    }
    state.counters["deciseconds"] = static_cast<double>(deciseconds);
    state.counters["fileMiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
}

const std::filesystem::path& hourRecording() {
    return recording("hour", {}, skelder::bench::hourRecordingOptions);
}

void BM_FullExtractionOneHour(benchmark::State& state) {
    extract(state, hourRecording(), true, true);
}
void BM_QuickExtractionOneHour(benchmark::State& state) {
    extract(state, hourRecording(), false, false);
}

// The quick extraction the file list runs on every file, over the plain drive and over the
// shapes that are costly to read.
struct Shape {
    const char* name;
    std::function<kovra::Bytes()> inMemory;
    std::function<kovra::RecordingOptions()> options;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all{
        {"TwentyMinuteDrive", {}, twentyMinuteDrive},
        {"TwentyMinuteDriveWith20000UnusedRates",
         {},
         [] { return kovra::withUnusedRates(twentyMinuteDrive(), 20000); }},
        {"OneMinuteDriveWith64000UnreadChannels",
         {},
         [] {
             kovra::RecordingOptions drive;
             drive.durationSeconds = 60;
             return kovra::withUnreadChannels(drive, 64000);
         }},
        {"TwentyMinuteDriveWith20000RarelyDueRates",
         {},
         [] { return kovra::withRarelyDueRates(twentyMinuteDrive(), 20000); }},
        {"TwentyMinuteDriveOneSamplePerCycle",
         {},
         [] { return kovra::withTinySamples(twentyMinuteDrive(), 1000); }},
        {"TwentyMinuteDriveInDeeplyNestedBoxes",
         [] { return kovra::withNestedBoxes(twentyMinuteDrive(), 100000); },
         {}},
    };
    return all;
}

BENCHMARK(BM_FullExtractionOneHour)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_QuickExtractionOneHour)->Unit(benchmark::kMillisecond)->MinTime(2.0);

const bool shapesRegistered = [] {
    for (const Shape& shape : shapes()) {
        benchmark::RegisterBenchmark(
            (std::string("BM_Quick") + shape.name).c_str(),
            [&shape](benchmark::State& state) {
                extract(state, recording(shape.name, shape.inMemory, shape.options), false, false);
            })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0);
    }
    return true;
}();

}  // namespace
