#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/speed_unit.hpp"
#include "export/executor.hpp"
#include "export/export_service.hpp"
#include "export/output_paths.hpp"
#include "export/telemetry_offsets.hpp"
#include "highlights/filter_mode.hpp"
#include "highlights/session_provider.hpp"

namespace skelder {

// What the user sees while an export request runs; each is delivered on the flow's executor.
struct ExportWorkflowHooks {
    std::function<void(const std::string&)> setStatusMessage;
    std::function<void(double)> setProgress;
    std::function<void(const std::optional<std::string>&)> setActiveFileName;
    // The reel's preview lines and the same lines joined by line feeds.
    std::function<void(const std::vector<std::string>&, const std::string&)> setHighlightPreview;
};

struct ExportWorkflowCompletion {
    std::string title;
    std::string message;
    std::vector<std::filesystem::path> outputURLs;
};

struct ExportWorkflowResult {
    std::string statusMessage;
    std::optional<double> progress;  // absent: the shown progress stays as it is
    std::optional<ExportWorkflowCompletion> completion;
    // What the user should know about the written files, one line each, named after the file
    // ("lap1.mp4: The audio was left out: …").
    std::vector<std::string> notices = {};
};

// The segments the user excluded from export for a file (by path key), read when the reel
// flow reaches that file.
using ExcludedSegmentsLookup =
    std::function<std::unordered_set<PlannedSegmentKey>(const std::string& pathKey)>;

// Where the user put a recording's start/finish line (telemetry seconds), by path key; none: the
// default place.
using LineAtLookup = std::function<std::optional<double>(const std::string& pathKey)>;

// The frame's shape: the recording's own, or vertical (9:16) for phones, the crop in the middle
// of landscape pictures or following the bends.
struct VideoShape {
    bool vertical = false;
    bool cropFollowsBends = false;
    friend bool operator==(const VideoShape&, const VideoShape&) = default;
};

// The lap elements the HUD shows (none by default) and where each recording's line is.
struct LapHudChoice {
    LapHudElements elements;
    LineAtLookup lineAt;
};

// Runs one export request over the selected files and reports it step by step. The flows
// block the calling thread (run them on a worker), post every hook to `executor`, observe
// `stop`, and never throw: every failure and the cancellation become the result.
class AppExportWorkflow {
  public:
    AppExportWorkflow(std::shared_ptr<const TelemetrySessionProviding> telemetrySessionProvider,
                      std::shared_ptr<ExportServicing> exportService);

    // One overlay video per input. The HUD shows speeds in `speedUnit` and the lap elements of
    // `lapHud`.
    ExportWorkflowResult runFullExport(const std::vector<std::filesystem::path>& inputURLs,
                                       const OutputTarget& target, const ExportWorkflowHooks& hooks,
                                       const TelemetryOffsets& timeOffsets, Executor& executor,
                                       std::stop_token stop,
                                       SpeedUnit speedUnit = kDefaultSpeedUnit,
                                       const LapHudChoice& lapHud = {},
                                       VideoShape shape = {}) const;

    // One video of the HUD alone per input (NAME.hud.mov), over transparent pixels, frame for
    // frame with the recording, for an editor to lay over its own cut.
    ExportWorkflowResult runHudLayerExport(
        const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
        const ExportWorkflowHooks& hooks, const TelemetryOffsets& timeOffsets, Executor& executor,
        std::stop_token stop, SpeedUnit speedUnit = kDefaultSpeedUnit,
        const LapHudChoice& lapHud = {},
        media::LayerCodec codec = media::LayerCodec::animation) const;

    // One reel of the included highlight segments of all inputs.
    ExportWorkflowResult runHighlightsReel(
        const std::vector<std::filesystem::path>& inputURLs, const OutputTarget& target,
        HighlightFilterMode filterMode, bool debugHUDEnabled, const TelemetryOffsets& timeOffsets,
        const ExportWorkflowHooks& hooks, const ExcludedSegmentsLookup& excludedSegments,
        Executor& executor, std::stop_token stop, SpeedUnit speedUnit = kDefaultSpeedUnit,
        const LapHudChoice& lapHud = {}, VideoShape shape = {}) const;

    // One reel of the best lap of each input, line to line, each with its own HUD; inputs
    // without laps are skipped with the reason in the preview lines.
    ExportWorkflowResult runBestLapsReel(const std::vector<std::filesystem::path>& inputURLs,
                                         const OutputTarget& target, bool debugHUDEnabled,
                                         const TelemetryOffsets& timeOffsets,
                                         const ExportWorkflowHooks& hooks,
                                         const LineAtLookup& lineAt, Executor& executor,
                                         std::stop_token stop,
                                         SpeedUnit speedUnit = kDefaultSpeedUnit,
                                         LapHudElements lapHud = {}, VideoShape shape = {}) const;

  private:
    // A file at a time: full videos, or HUD layers in `layerCodec`.
    ExportWorkflowResult runPerFile(const std::vector<std::filesystem::path>& inputURLs,
                                    const OutputTarget& target, const ExportWorkflowHooks& hooks,
                                    const TelemetryOffsets& timeOffsets, Executor& executor,
                                    std::stop_token stop, SpeedUnit speedUnit,
                                    const LapHudChoice& lapHud,
                                    std::optional<media::LayerCodec> layerCodec,
                                    VideoShape shape) const;

    std::shared_ptr<const TelemetrySessionProviding> provider_;
    std::shared_ptr<ExportServicing> exportService_;
};

}  // namespace skelder
