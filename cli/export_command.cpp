#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/automatic_offsets.hpp"
#include "cli/commands.hpp"
#include "cli/interrupt.hpp"
#include "cli/lap_hud_option.hpp"
#include "cli/progress_display.hpp"
#include "cli/speed_unit_option.hpp"
#include "core/cancellation.hpp"
#include "core/path_key.hpp"
#include "core/telemetry_advance.hpp"
#include "export/app_export_workflow.hpp"
#include "export/file_discovery.hpp"
#include "highlights/session_cache.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::cli {
namespace {

struct ExportOptions {
    std::vector<std::string> inputs;
    std::string mode = "full";
    std::string output;
    std::string filter = "onlyBest";
    // Milliseconds, or "auto".
    std::string offset = fmt::format("{:g}", kDefaultTelemetryAdvanceMilliseconds);
    bool debugHUD = false;
    std::string lapHud = "none";
    std::string layerCodec = "animation";
    std::vector<std::string> exclusions;
    std::string preset = "veryfast";
    std::string unit = std::string(speedUnitName(kDefaultSpeedUnit));
};

using Exclusions = std::unordered_map<std::string, std::unordered_set<PlannedSegmentKey>>;

// "FILE:START-END" (whole seconds, the end inclusive, as `skelder highlights` prints them).
Exclusions parseExclusions(const std::vector<std::string>& texts) {
    Exclusions exclusions;
    for (const std::string& text : texts) {
        const auto colon = text.rfind(':');
        const auto dash = text.find('-', colon == std::string::npos ? 0 : colon + 1);
        PlannedSegmentKey key;
        const auto number = [&](std::size_t from, std::size_t to, std::int64_t& value) {
            return from < to && std::from_chars(text.data() + from, text.data() + to, value).ptr ==
                                    text.data() + to;
        };
        if (colon == std::string::npos || dash == std::string::npos ||
            !number(colon + 1, dash, key.startSecond) ||
            !number(dash + 1, text.size(), key.endSecond)) {
            throw CLI::ValidationError("--exclude", "\"" + text + "\" is not FILE:START-END");
        }
        exclusions[pathKey(text.substr(0, colon))].insert(key);
    }
    return exclusions;
}

OutputTarget targetFor(const ExportOptions& options,
                       const std::vector<std::filesystem::path>& inputs, ProcessingMode mode) {
    const std::filesystem::path output = options.output;
    std::error_code error;
    const bool folder =
        !output.empty() && (std::filesystem::is_directory(output, error) ||
                            options.output.back() == '/' || (!isReel(mode) && inputs.size() > 1));
    if (!isReel(mode)) {
        if (output.empty())
            return BesideInputsTarget{};
        if (folder) {
            std::filesystem::create_directories(output, error);
            return FolderTarget{output};
        }
        return SingleFileTarget{output};
    }
    // A reel without a file name is named like the app proposes, in the current or given folder.
    if (output.empty() || folder) {
        ReservedPaths reserved;
        const std::filesystem::path place =
            output.empty() ? std::filesystem::current_path() : output;
        std::filesystem::create_directories(place, error);
        return SingleFileTarget{uniqueFileURL(place, defaultReelFileName(inputs, mode), reserved)};
    }
    return SingleFileTarget{output};
}

// Milliseconds as typed, or nothing when the text is not a finite number.
std::optional<double> millisecondsIn(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Shows the flow's status on stderr: the export percentages as one live line, every other
// status as a line of its own.
class StatusView {
  public:
    void progress(double fraction) { fraction_ = fraction; }
    void status(const std::string& text) {
        if (text.starts_with("Exporting ")) {
            display_.show(text, fraction_);
            return;
        }
        display_.finish();
        fmt::print(stderr, "{}\n", text);
    }
    void preview(const std::vector<std::string>& lines) {
        display_.finish();
        for (const std::string& line : lines)
            fmt::print("{}\n", line);
        std::fflush(stdout);
    }
    void finish() { display_.finish(); }

  private:
    ProgressDisplay display_;
    double fraction_ = 0;  // of the whole request
};

int runExport(const ExportOptions& options) {
    const std::optional<SpeedUnit> unit = chosenSpeedUnit(options.unit);
    const std::optional<LapHudElements> lapHud = chosenLapHud(options.lapHud);
    if (!unit || !lapHud)
        return 1;
    std::vector<std::filesystem::path> items(options.inputs.begin(), options.inputs.end());
    const std::vector<std::filesystem::path> inputs = collectMP4Items(items);
    if (inputs.empty()) {
        fmt::print(stderr, "No MP4 files found\n");
        return 1;
    }
    const ProcessingMode mode = options.mode == "full"       ? ProcessingMode::full
                                : options.mode == "bestlaps" ? ProcessingMode::bestLaps
                                : options.mode == "overlay"  ? ProcessingMode::hudLayer
                                                             : ProcessingMode::highlights;
    const OutputTarget target = targetFor(options, inputs, mode);
    const Exclusions exclusions = parseExclusions(options.exclusions);

    const AppExportWorkflow workflow(
        std::make_shared<TelemetrySessionProvider>(
            std::make_shared<BasicTelemetryExtractionService>(),
            std::make_shared<TelemetrySessionCache>()),
        std::make_shared<ExportService>(ParallelExportConfig::defaults(), options.preset));

    StatusView view;
    ExportWorkflowHooks hooks;
    hooks.setStatusMessage = [&](const std::string& text) { view.status(text); };
    hooks.setProgress = [&](double fraction) { view.progress(fraction); };
    hooks.setHighlightPreview = [&](const std::vector<std::string>& lines, const std::string&) {
        view.preview(lines);
    };

    InterruptToStop interrupt;
    TelemetryOffsets offsets(
        millisecondsIn(options.offset).value_or(kDefaultTelemetryAdvanceMilliseconds));
    if (options.offset == "auto") {
        try {
            offsets = estimateTelemetryOffsets(
                inputs, kDefaultTelemetryAdvanceMilliseconds,
                [](const std::string& line) { fmt::print(stderr, "{}\n", line); },
                interrupt.token());
        } catch (const CancellationError&) {
            fmt::print(stderr, "Export canceled\n");
            return 130;
        }
    }
    RunLoopExecutor mainLoop;
    std::atomic<bool> finished = false;
    ExportWorkflowResult result;
    std::jthread flow([&] {
        if (mode == ProcessingMode::full) {
            result = workflow.runFullExport(inputs, target, hooks, offsets, mainLoop,
                                            interrupt.token(), *unit, {*lapHud, {}});
        } else if (mode == ProcessingMode::hudLayer) {
            result = workflow.runHudLayerExport(
                inputs, target, hooks, offsets, mainLoop, interrupt.token(), *unit, {*lapHud, {}},
                options.layerCodec == "prores4444" ? media::LayerCodec::prores4444
                                                   : media::LayerCodec::animation);
        } else if (mode == ProcessingMode::bestLaps) {
            result = workflow.runBestLapsReel(inputs, target, options.debugHUD, offsets, hooks, {},
                                              mainLoop, interrupt.token(), *unit, *lapHud);
        } else {
            const auto excluded = [&](const std::string& key) {
                const auto found = exclusions.find(key);
                return found == exclusions.end() ? std::unordered_set<PlannedSegmentKey>{}
                                                 : found->second;
            };
            result = workflow.runHighlightsReel(
                inputs, target, *highlightFilterModeFromText(options.filter), options.debugHUD,
                offsets, hooks, excluded, mainLoop, interrupt.token(), *unit, {*lapHud, {}});
        }
        finished = true;
        mainLoop.wake();
    });
    mainLoop.runUntil([&] { return finished.load(); });
    flow.join();
    view.finish();
    for (const std::string& notice : result.notices)
        fmt::print(stderr, "{}\n", notice);

    fmt::print("{}\n", result.statusMessage);
    if (result.completion) {
        fmt::print("{}\n{}\n", result.completion->title, result.completion->message);
        for (const auto& url : result.completion->outputURLs)
            fmt::print("{}\n", url.string());
    }
    if (interrupt.interrupted())
        return 130;
    return result.completion && !result.completion->outputURLs.empty() ? 0 : 1;
}

}  // namespace

void addExportCommand(CLI::App& app, int& exitStatus) {
    auto* command = app.add_subcommand(
        "export", "Write videos with the telemetry HUD on every frame, or one highlights reel");
    auto options = std::make_shared<ExportOptions>();
    command
        ->add_option("FILE_OR_FOLDER", options->inputs,
                     "Recordings, or folders searched for .mp4 files")
        ->required();
    command
        ->add_option(
            "--mode", options->mode,
            "full: one overlay video per recording; highlights: one reel of the highlights; "
            "bestlaps: one reel of each recording's best lap; overlay: one video of the HUD "
            "alone per recording, over transparent pixels, for a video editor (NAME.hud.mov)")
        ->check(CLI::IsMember({"full", "highlights", "bestlaps", "overlay"}))
        ->capture_default_str();
    command->add_option("-o,--output", options->output,
                        "Output file or folder; default: next to each input (full), or "
                        "highlights.reel.mp4 (highlights) or bestlaps.reel.mp4 (bestlaps) in the "
                        "current folder");
    command->add_option("--filter", options->filter, "Which highlights a reel takes")
        ->check(CLI::IsMember({"onlyBest", "maybeInteresting"}))
        ->capture_default_str();
    command
        ->add_option("--offset-ms", options->offset,
                     fmt::format("Telemetry shift against the video, in milliseconds (positive: "
                                 "earlier), or auto: each recording's own, measured from its "
                                 "engine sound, where the estimate is trusted ({:g} otherwise)",
                                 kDefaultTelemetryAdvanceMilliseconds))
        ->check(CLI::Validator(
            [](const std::string& text) {
                return text == "auto" || millisecondsIn(text)
                           ? std::string()
                           : "\"" + text + "\" is neither a number of milliseconds nor auto";
            },
            "MS|auto"))
        ->capture_default_str();
    command->add_flag("--debug-hud", options->debugHUD, "Draw the timing debug panel on a reel");
    addSpeedUnitOption(*command, options->unit);
    addLapHudOption(*command, options->lapHud);
    command
        ->add_option("--layer-codec", options->layerCodec,
                     "Codec of --mode overlay: animation (QuickTime Animation, lossless) or "
                     "prores4444 (ProRes 4444)")
        ->check(CLI::IsMember({"animation", "prores4444"}))
        ->capture_default_str();
    command->add_option("--exclude", options->exclusions,
                        "Leave a highlight out of the reel: FILE:START-END (seconds, as listed by "
                        "`skelder highlights`); repeatable");
    command->add_option("--preset", options->preset, "x264 preset (speed against size)")
        ->check(CLI::IsMember({"ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                               "slow", "slower", "veryslow"}))
        ->capture_default_str();
    command->callback([options, &exitStatus] { exitStatus = runExport(*options); });
}

}  // namespace skelder::cli
