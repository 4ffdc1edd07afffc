#include <fmt/format.h>

#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/error_text.hpp"
#include "cli/interrupt.hpp"
#include "cli/progress_display.hpp"
#include "export/export_error.hpp"
#include "export/export_service.hpp"
#include "export/file_discovery.hpp"
#include "export/output_paths.hpp"
#include "media/asset.hpp"
#include "telemetry/cancellation.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::cli {
namespace {

struct ExportOptions {
    std::vector<std::string> inputs;
    std::string mode = "full";
    std::string output;
    double offsetMilliseconds = 650;
    std::string preset = "veryfast";
};

// The job of a full export: the whole file, its own telemetry on every frame.
OverlayExportJob fullExportJob(const std::filesystem::path& input, double offsetMilliseconds) {
    const ParsedTelemetryData telemetry =
        BasicTelemetryExtractionService().extractTelemetry(input, false, false);
    const media::Asset asset = media::Asset::open(input);
    if (!asset.videoTrack())
        throw ExportError::missingVideoTrack();
    OverlayExportJob job;
    job.asset = media::MediaSource::file(input);
    job.duration = asset.duration().value_or(media::MediaTime::zero());
    job.timelineSegments = {{0.0, std::max(job.duration.seconds(), 0.001), 0.0, 0}};
    job.sampleSources = {telemetry.overlaySamplesByDecisecond};
    job.sampleSourceLabels = {input.filename().string()};
    job.overlayOptions = {offsetMilliseconds / 1000.0, false};
    return job;
}

int runExport(const ExportOptions& options) {
    std::vector<std::filesystem::path> items(options.inputs.begin(), options.inputs.end());
    const std::vector<std::filesystem::path> inputs = collectMP4Items(items);
    if (inputs.empty()) {
        fmt::print(stderr, "No MP4 files found\n");
        return 1;
    }
    const std::filesystem::path output = options.output;
    std::error_code error;
    const bool outputIsFolder =
        !output.empty() && (std::filesystem::is_directory(output, error) || inputs.size() > 1 ||
                            options.output.back() == '/');
    if (outputIsFolder)
        std::filesystem::create_directories(output, error);

    InterruptToStop interrupt;
    ExportService service(ParallelExportConfig::defaults(), options.preset);
    ProgressDisplay display;
    ReservedPaths reserved;
    std::vector<std::filesystem::path> exported;
    int failed = 0;
    for (std::size_t i = 0; i < inputs.size() && !interrupt.interrupted(); ++i) {
        const std::filesystem::path& input = inputs[i];
        const std::string name = input.filename().string();
        const std::filesystem::path target =
            output.empty()
                ? uniqueOutputURL(input, ProcessingMode::full, input.parent_path(), reserved)
            : outputIsFolder ? uniqueOutputURL(input, ProcessingMode::full, output, reserved)
                             : output;
        const std::string label = fmt::format("{} ({}/{})", name, i + 1, inputs.size());
        try {
            const OverlayExportJob job = fullExportJob(input, options.offsetMilliseconds);
            service.exportOverlayVideo(
                job, target, [&](double p) { display.update(label, p); }, interrupt.token());
            display.finish();
            fmt::print("Exported: {}\n", target.string());
            exported.push_back(target);
        } catch (const CancellationError&) {
            display.finish();
            break;
        } catch (const std::exception& failure) {
            display.finish();
            fmt::print(stderr, "Skipped {}: {}\n", name, errorText(failure));
            ++failed;
        }
    }
    if (interrupt.interrupted()) {
        fmt::print(stderr, "Export canceled after {} file(s)\n", exported.size());
        return 130;
    }
    fmt::print("Done: {} exported, {} failed\n", exported.size(), failed);
    return exported.empty() || failed > 0 ? 1 : 0;
}

}  // namespace

void addExportCommand(CLI::App& app, int& exitStatus) {
    auto* command =
        app.add_subcommand("export", "Write videos with the telemetry HUD on every frame");
    auto options = std::make_shared<ExportOptions>();
    command
        ->add_option("FILE_OR_FOLDER", options->inputs,
                     "Recordings, or folders searched for .mp4 files")
        ->required();
    command->add_option("--mode", options->mode, "full: one overlay video per recording")
        ->check(CLI::IsMember({"full"}))
        ->capture_default_str();
    command->add_option("-o,--output", options->output,
                        "Output file (one input) or folder; default: next to each input");
    command
        ->add_option("--offset-ms", options->offsetMilliseconds,
                     "Telemetry shift against the video, in milliseconds (positive: earlier)")
        ->capture_default_str();
    command->add_option("--preset", options->preset, "x264 preset (speed against size)")
        ->check(CLI::IsMember({"ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                               "slow", "slower", "veryslow"}))
        ->capture_default_str();
    command->callback([options, &exitStatus] { exitStatus = runExport(*options); });
}

}  // namespace skelder::cli
