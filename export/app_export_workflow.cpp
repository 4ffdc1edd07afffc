#include "export/app_export_workflow.hpp"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>

#include "core/cancellation.hpp"
#include "core/path_key.hpp"
#include "export/error_description.hpp"
#include "export/export_error.hpp"
#include "highlights/tiers.hpp"
#include "laps/lap_analysis.hpp"
#include "laps/lap_clock.hpp"
#include "laps/lap_texts.hpp"
#include "media/asset.hpp"

namespace skelder {
namespace {

// Posts hooks to the flow's executor; hooks left empty are skipped.
class HookPoster {
  public:
    HookPoster(const ExportWorkflowHooks& hooks, Executor& executor)
        : hooks_(hooks), executor_(executor) {}

    void status(std::string text) const {
        if (hooks_.setStatusMessage) {
            executor_.post(
                [hook = hooks_.setStatusMessage, text = std::move(text)] { hook(text); });
        }
    }
    void progress(double fraction) const {
        if (hooks_.setProgress)
            executor_.post([hook = hooks_.setProgress, fraction] { hook(fraction); });
    }
    void activeFile(std::optional<std::string> name) const {
        if (hooks_.setActiveFileName) {
            executor_.post(
                [hook = hooks_.setActiveFileName, name = std::move(name)] { hook(name); });
        }
    }
    void preview(std::vector<std::string> lines, std::string text) const {
        if (hooks_.setHighlightPreview) {
            executor_.post([hook = hooks_.setHighlightPreview, lines = std::move(lines),
                            text = std::move(text)] { hook(lines, text); });
        }
    }

  private:
    ExportWorkflowHooks hooks_;
    Executor& executor_;
};

// The words of a reel's reports: its completion title and what it is called.
struct ReelWords {
    std::string title;  // "Highlights Reel Ready"
    std::string name;   // "highlights reel"
    std::size_t fileCount = 0;
};

// Writes a reel of the inputs gathered and reports it: "Exporting highlights reel 40%" while it
// runs, then "Done: NAME" with the completion and the notices on the written file.
ExportWorkflowResult exportReel(ExportServicing& exportService,
                                const std::vector<HighlightsReelInput>& inputs,
                                const HighlightsOverlayOptions& options,
                                const std::filesystem::path& output, const ReelWords& words,
                                const HookPoster& post, std::stop_token stop) {
    const ExportReport report = exportService.exportHighlightsReel(
        inputs, options, output,
        [&](double p) {
            p = std::clamp(p, 0.0, 1.0);
            post.progress(p * 0.55 + 0.45);
            post.status(fmt::sprintf("Exporting %s %.0f%%", words.name, p * 100));
        },
        stop);
    throwIfCancelled(stop);
    std::vector<std::string> notices;
    for (const std::string& notice : report.notices)
        notices.push_back(output.filename().string() + ": " + notice);
    return {"Done: " + output.filename().string(), 1.0,
            ExportWorkflowCompletion{words.title,
                                     fmt::format("Created one {} from {} selected file(s).",
                                                 words.name, words.fileCount),
                                     {output}},
            std::move(notices)};
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

ExportWorkflowResult fullCancellationResult(const std::vector<std::filesystem::path>& exported) {
    if (exported.empty())
        return {"Export canceled", std::nullopt, std::nullopt};
    const std::size_t n = exported.size();
    return {
        fmt::format("Export canceled after {} file(s)", n), std::nullopt,
        ExportWorkflowCompletion{"Export Canceled",
                                 fmt::format("Canceled after exporting {} file(s).", n), exported}};
}

// The recording's laps when the HUD shows lap elements, found with the line its driver chose.
std::shared_ptr<const laps::LapClock> lapClockFor(const LapHudChoice& lapHud,
                                                  const std::filesystem::path& input,
                                                  const DecisecondGrid& grid,
                                                  std::stop_token stop) {
    if (!lapHud.elements.any())
        return nullptr;
    const std::optional<double> line = lapHud.lineAt ? lapHud.lineAt(pathKey(input)) : std::nullopt;
    return std::make_shared<const laps::LapClock>(
        laps::analyseLaps(grid, {.lineAtSeconds = line}, stop));
}

// The job of a full export: the whole file with its own telemetry on every frame.
OverlayExportJob fullExportJob(const std::filesystem::path& input, const TelemetrySession& session,
                               double timeOffsetMilliseconds, SpeedUnit speedUnit,
                               const LapHudChoice& lapHud, std::stop_token stop) {
    // Probed once here; the export reads the file through the same probe.
    auto files = std::make_shared<media::ProbedFiles>();
    const media::Asset& asset = files->asset(input);
    if (!asset.videoTrack())
        throw ExportError::missingVideoTrack();
    OverlayExportJob job;
    job.asset = media::MediaSource::file(input, files);
    job.duration = asset.duration().value_or(media::MediaTime::zero());
    job.timelineSegments = {{0.0, std::max(job.duration.seconds(), 0.001), 0.0, 0}};
    job.sampleSources = {*session.overlaySamplesByDecisecond};
    job.sampleSourceLabels = {input.filename().string()};
    job.overlayOptions = {timeOffsetMilliseconds / 1000.0, false, speedUnit, lapHud.elements};
    job.lapClocks = {lapClockFor(lapHud, input, *session.overlaySamplesByDecisecond, stop)};
    return job;
}

}  // namespace

AppExportWorkflow::AppExportWorkflow(
    std::shared_ptr<const TelemetrySessionProviding> telemetrySessionProvider,
    std::shared_ptr<ExportServicing> exportService)
    : provider_(std::move(telemetrySessionProvider)), exportService_(std::move(exportService)) {}

ExportWorkflowResult AppExportWorkflow::runFullExport(
    const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
    const ExportWorkflowHooks& hooks, const TelemetryOffsets& timeOffsets, Executor& executor,
    std::stop_token stop, SpeedUnit speedUnit, const LapHudChoice& lapHud) const {
    return runPerFile(inputURLs, target, hooks, timeOffsets, executor, stop, speedUnit, lapHud,
                      std::nullopt);
}

ExportWorkflowResult AppExportWorkflow::runHudLayerExport(
    const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
    const ExportWorkflowHooks& hooks, const TelemetryOffsets& timeOffsets, Executor& executor,
    std::stop_token stop, SpeedUnit speedUnit, const LapHudChoice& lapHud,
    media::LayerCodec codec) const {
    return runPerFile(inputURLs, target, hooks, timeOffsets, executor, stop, speedUnit, lapHud,
                      codec);
}

ExportWorkflowResult AppExportWorkflow::runPerFile(
    const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
    const ExportWorkflowHooks& hooks, const TelemetryOffsets& timeOffsets, Executor& executor,
    std::stop_token stop, SpeedUnit speedUnit, const LapHudChoice& lapHud,
    std::optional<media::LayerCodec> layerCodec) const {
    const ProcessingMode mode = layerCodec ? ProcessingMode::hudLayer : ProcessingMode::full;
    const HookPoster post(hooks, executor);
    const std::size_t n = inputURLs.size();
    const double total = static_cast<double>(std::max<std::size_t>(n, 1));
    std::vector<std::filesystem::path> exported;
    std::vector<std::string> notices;
    std::size_t failed = 0;
    ReservedPaths reserved;

    for (std::size_t i = 0; i < n; ++i) {
        if (stop.stop_requested())
            return fullCancellationResult(exported);
        const std::filesystem::path& input = inputURLs[i];
        const std::string name = input.filename().string();
        post.activeFile(name);
        post.status(fmt::format("Processing {} ({}/{})", name, i + 1, n));
        try {
            throwIfCancelled(stop);
            // The name is reserved before the file is analysed, so a failing file still
            // takes its place in the folder's sequence.
            const std::filesystem::path output = std::visit(
                [&](const auto& where) -> std::filesystem::path {
                    using Where = std::decay_t<decltype(where)>;
                    if constexpr (std::is_same_v<Where, FolderTarget>) {
                        return uniqueOutputURL(input, mode, where.url, reserved);
                    } else if constexpr (std::is_same_v<Where, BesideInputsTarget>) {
                        return uniqueOutputURL(input, mode, input.parent_path(), reserved);
                    } else {
                        return where.url;
                    }
                },
                target);
            const TelemetrySession session =
                provider_->loadSession(input, HighlightFilterMode::onlyBest, stop);
            const OverlayExportJob job = fullExportJob(
                input, session, timeOffsets.millisecondsFor(input), speedUnit, lapHud, stop);
            const auto progress = [&post, name, i, n, total](double p) {
                p = std::clamp(p, 0.0, 1.0);
                post.progress(static_cast<double>(i) / total + p / total);
                post.status(fmt::sprintf("Exporting %s (%d/%d) %.0f%%", name, i + 1, n, p * 100));
            };
            const ExportReport report =
                layerCodec
                    ? exportService_->exportHudLayer(job, output, *layerCodec, progress, stop)
                    : exportService_->exportOverlayVideo(job, output, progress, stop);
            exported.push_back(output);
            for (const std::string& notice : report.notices)
                notices.push_back(output.filename().string() + ": " + notice);
            post.progress(static_cast<double>(i + 1) / total);
            post.status("Exported: " + output.filename().string());
        } catch (const CancellationError&) {
            return fullCancellationResult(exported);
        } catch (const std::exception& error) {
            ++failed;
            post.progress(static_cast<double>(i + 1) / total);
            post.status("Skipped " + name + ": " + errorDescription(error));
        }
    }
    if (stop.stop_requested())
        return fullCancellationResult(exported);

    const std::size_t done = exported.size();
    ExportWorkflowResult result;
    const char* what = layerCodec ? "HUD layer" : "full";
    result.statusMessage = failed == 0 ? fmt::format("Done: {} {} file(s) exported", done, what)
                                       : fmt::format("Done: {} exported, {} failed", done, failed);
    result.progress = 1.0;
    result.notices = std::move(notices);
    if (done > 0) {
        result.completion = ExportWorkflowCompletion{
            "Export Complete",
            failed == 0 ? fmt::format("Exported {} {} video file(s).", done, what)
                        : fmt::format("Exported {} file(s). {} file(s) failed.", done, failed),
            exported};
    }
    return result;
}

ExportWorkflowResult AppExportWorkflow::runHighlightsReel(
    const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
    HighlightFilterMode filterMode, bool debugHUDEnabled, const TelemetryOffsets& timeOffsets,
    const ExportWorkflowHooks& hooks, const ExcludedSegmentsLookup& excludedSegments,
    Executor& executor, std::stop_token stop, SpeedUnit speedUnit,
    const LapHudChoice& lapHud) const {
    const HookPoster post(hooks, executor);
    const std::size_t n = inputURLs.size();
    const double total = static_cast<double>(std::max<std::size_t>(n, 1));
    const ExportWorkflowResult cancelled{"Highlights reel export canceled", std::nullopt,
                                         std::nullopt};

    try {
        throwIfCancelled(stop);
        const auto* file = std::get_if<SingleFileTarget>(&target);
        if (file == nullptr)
            throw ExportError::unsupportedOutputType();
        const std::filesystem::path output = file->url;

        std::vector<HighlightsReelInput> inputs;
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < n; ++i) {
            throwIfCancelled(stop);
            const std::filesystem::path& input = inputURLs[i];
            const std::string name = input.filename().string();
            post.activeFile(name);
            post.status(fmt::format("Preparing {} ({}/{})", name, i + 1, n));
            post.progress(static_cast<double>(i) / total * 0.35 + 0.05);
            try {
                const TieredTelemetrySession tiered =
                    provider_->loadTieredSession(input, filterMode, stop);
                const TelemetrySession& session = tiered.session;
                const auto excluded = excludedSegments ? excludedSegments(pathKey(input))
                                                       : std::unordered_set<PlannedSegmentKey>{};
                std::vector<PlannedSegment> included;
                for (const PlannedSegment& segment : session.highlightSegments) {
                    if (!excluded.contains(PlannedSegmentKey::of(segment)))
                        included.push_back(segment);
                }
                if (!included.empty()) {
                    inputs.push_back(
                        {input,
                         included,
                         session.overlaySamplesByDecisecond,
                         timeOffsets.millisecondsFor(input) / 1000.0,
                         {},
                         lapClockFor(lapHud, input, *session.overlaySamplesByDecisecond, stop)});
                    lines.push_back("[" + name + "]");
                    lines.push_back(fmt::format("Included {} of {} highlight(s)", included.size(),
                                                session.highlightSegments.size()));
                    for (std::string& line : highlightPreviewLines(included))
                        lines.push_back(std::move(line));
                    lines.emplace_back();
                }
            } catch (const CancellationError&) {
                throw;
            } catch (const std::exception& error) {
                lines.push_back("[" + name + "] Skipped: " + errorDescription(error));
                lines.emplace_back();
            }
            post.progress(static_cast<double>(i + 1) / total * 0.35 + 0.05);
            throwIfCancelled(stop);
        }
        post.activeFile(std::nullopt);
        const std::string text = joined(lines);
        post.progress(0.45);
        throwIfCancelled(stop);

        if (inputs.empty())
            throw ExportError::noHighlightsSelected();
        post.preview(lines, text);
        return exportReel(*exportService_, inputs,
                          {timeOffsets.fallbackMilliseconds / 1000.0, debugHUDEnabled, speedUnit,
                           lapHud.elements},
                          output, {"Highlights Reel Ready", "highlights reel", n}, post, stop);
    } catch (const CancellationError&) {
        return cancelled;
    } catch (const std::exception& error) {
        return {"Highlights reel failed: " + errorDescription(error), 1.0, std::nullopt};
    }
}

ExportWorkflowResult AppExportWorkflow::runBestLapsReel(
    const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
    bool debugHUDEnabled, const TelemetryOffsets& timeOffsets, const ExportWorkflowHooks& hooks,
    const LineAtLookup& lineAt, Executor& executor, std::stop_token stop, SpeedUnit speedUnit,
    LapHudElements lapHud) const {
    const HookPoster post(hooks, executor);
    const std::size_t n = inputURLs.size();
    const double total = static_cast<double>(std::max<std::size_t>(n, 1));
    try {
        throwIfCancelled(stop);
        const auto* file = std::get_if<SingleFileTarget>(&target);
        if (file == nullptr)
            throw ExportError::unsupportedOutputType();
        std::vector<HighlightsReelInput> inputs;
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < n; ++i) {
            throwIfCancelled(stop);
            const std::filesystem::path& input = inputURLs[i];
            const std::string name = input.filename().string();
            post.activeFile(name);
            post.status(fmt::format("Preparing {} ({}/{})", name, i + 1, n));
            post.progress(static_cast<double>(i) / total * 0.35 + 0.05);
            try {
                // The analysed session holds the telemetry (the app has it cached already).
                const TieredTelemetrySession tiered =
                    provider_->loadTieredSession(input, HighlightFilterMode::onlyBest, stop);
                const std::optional<double> line = lineAt ? lineAt(pathKey(input)) : std::nullopt;
                auto clock = std::make_shared<const laps::LapClock>(laps::analyseLaps(
                    *tiered.session.overlaySamplesByDecisecond, {.lineAtSeconds = line}, stop));
                const laps::LapAnalysis& analysis = clock->analysis();
                const laps::Lap* best = analysis.bestLap();
                if (best == nullptr) {
                    lines.push_back(fmt::format("[{}] Skipped: no laps: {}", name,
                                                laps::noLapsText(analysis.noLaps.value_or(
                                                    laps::NoLapsReason::noCompleteLap))));
                    lines.emplace_back();
                    continue;
                }
                // The picture shows a moment of the telemetry `advance` seconds later.
                const double advance = timeOffsets.millisecondsFor(input) / 1000.0;
                inputs.push_back({input,
                                  {},
                                  tiered.session.overlaySamplesByDecisecond,
                                  advance,
                                  {{best->startSeconds - advance, best->endSeconds - advance}},
                                  lapHud.any() ? clock : nullptr});
                lines.push_back("[" + name + "]");
                lines.push_back(fmt::format("Best lap {} of {}: {}", best->number,
                                            analysis.laps.size(),
                                            laps::lapTimeText(best->timeSeconds())));
                lines.emplace_back();
            } catch (const CancellationError&) {
                throw;
            } catch (const std::exception& error) {
                lines.push_back("[" + name + "] Skipped: " + errorDescription(error));
                lines.emplace_back();
            }
            post.progress(static_cast<double>(i + 1) / total * 0.35 + 0.05);
        }
        post.activeFile(std::nullopt);
        post.progress(0.45);
        throwIfCancelled(stop);
        if (inputs.empty())
            throw ExportError::noLapsFound();
        post.preview(lines, joined(lines));
        return exportReel(
            *exportService_, inputs,
            {timeOffsets.fallbackMilliseconds / 1000.0, debugHUDEnabled, speedUnit, lapHud},
            file->url, {"Best Laps Reel Ready", "best laps reel", n}, post, stop);
    } catch (const CancellationError&) {
        return {"Best laps reel export canceled", std::nullopt, std::nullopt};
    } catch (const std::exception& error) {
        return {"Best laps reel failed: " + errorDescription(error), 1.0, std::nullopt};
    }
}

}  // namespace skelder
