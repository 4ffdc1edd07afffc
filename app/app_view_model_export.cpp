// The export actions of the model. The workflow's flows block their thread, so each export
// runs on `exportThread_` and hands every hook and its result to the main thread through
// `executor_`; a reel reads the user's exclusions from `exclusionsMirror_`. The main thread
// never waits for a running export: cancelling only asks it to stop, and its result arrives
// like any other.

#include <QStringList>

#include "app/app_view_model.hpp"
#include "core/path_key.hpp"
#include "export/error_description.hpp"

namespace skelder {
namespace {

using Clock = ExportProgressTracker::Clock;

QStringList toStringList(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        list.append(QString::fromStdString(line));
    return list;
}

}  // namespace

void AppViewModel::startExport() {
    if (isProcessing_ || isChoosingExportTarget_ || isStopped_)
        return;
    setCompletion(std::nullopt, false);

    const std::vector<std::filesystem::path> inputs = selectedExportURLs();
    if (inputs.empty()) {
        setStatusMessage(QStringLiteral("Select at least one MP4 file first"));
        return;
    }
    // The panel blocks in a nested event loop; a second export must not start meanwhile.
    isChoosingExportTarget_ = true;
    const std::optional<OutputTarget> target = services_.filePanelService->chooseOutputTarget(
        inputs, selectedMode_,
        defaultReelFileName(inputs, selectedMode_ == ProcessingMode::bestLaps
                                        ? ProcessingMode::bestLaps
                                        : ProcessingMode::highlights));
    isChoosingExportTarget_ = false;
    if (!target) {
        setStatusMessage(QStringLiteral("Export canceled"));
        return;
    }

    // The settings as they are now; later changes do not reach a running export.
    const ProcessingMode mode = selectedMode_;
    const HighlightFilterMode filterMode = selectedHighlightFilterMode_;
    const bool debugHUDEnabled = isOverlayTimingDebugHUDEnabled_;
    const double offsetMilliseconds = overlayTimeOffsetMilliseconds_;
    const SpeedUnit speedUnit = speedUnit_;
    const LapHudElements lapElements = lapHudElements_;
    const VideoShape shape = videoShape_;
    std::map<PathKey, double> linesByPath;
    for (const std::filesystem::path& input : inputs) {
        const PathKey key = pathKey(input);
        if (const auto line = startFinishLineSeconds(key))
            linesByPath.emplace(key, *line);
    }

    joinExportThread();
    setProcessing(true);
    setProgress(0);
    setActiveFileName(std::nullopt);
    setHighlightPreview({}, {});
    std::vector<std::string> names;
    for (const std::filesystem::path& input : inputs)
        names.push_back(input.filename().string());
    exportProgress_.start(mode, std::move(names), Clock::now());
    emit exportProgressChanged();

    exportThread_ = std::jthread([this, workflow = services_.exportWorkflow,
                                  exclusions = exclusionsMirror_,
                                  poster = mainThreadQueue_.poster(), executor = &executor_, inputs,
                                  target = *target, mode, filterMode, debugHUDEnabled,
                                  offsetMilliseconds, speedUnit, lapElements, shape,
                                  linesByPath = std::move(linesByPath),
                                  hooks = exportHooks()](std::stop_token stop) {
        const LineAtLookup lineAt =
            [&linesByPath](const std::string& key) -> std::optional<double> {
            const auto found = linesByPath.find(key);
            if (found == linesByPath.end())
                return std::nullopt;
            return found->second;
        };
        const LapHudChoice lapHud{lapElements, lineAt};
        ExportWorkflowResult result;
        try {
            switch (mode) {
                case ProcessingMode::full:
                    result = workflow->runFullExport(inputs, target, hooks, offsetMilliseconds,
                                                     *executor, stop, speedUnit, lapHud, shape);
                    break;
                case ProcessingMode::hudLayer:
                    result = workflow->runHudLayerExport(inputs, target, hooks, offsetMilliseconds,
                                                         *executor, stop, speedUnit, lapHud);
                    break;
                case ProcessingMode::bestLaps:
                    result = workflow->runBestLapsReel(inputs, target, debugHUDEnabled,
                                                       offsetMilliseconds, hooks, lineAt, *executor,
                                                       stop, speedUnit, lapElements, shape);
                    break;
                case ProcessingMode::highlights:
                    result = workflow->runHighlightsReel(
                        inputs, target, filterMode, debugHUDEnabled, offsetMilliseconds, hooks,
                        [exclusions](const std::string& key) { return exclusions->lookup(key); },
                        *executor, stop, speedUnit, lapHud, shape);
                    break;
            }
        } catch (const std::exception& error) {
            // The flows report their failures as results; this is only a last guard.
            result = {"Export failed: " + errorDescription(error), 1.0, std::nullopt};
        }
        poster.post([this, result = std::move(result)] { applyExportResult(result); });
    });
}

ExportWorkflowHooks AppViewModel::exportHooks() {
    // Each runs on the main thread. While the export winds down after a cancel, the status
    // line keeps saying so.
    ExportWorkflowHooks hooks;
    const auto tracked = [this](const auto& update) {
        const ExportProgressSnapshot before = exportProgress_.snapshot();
        update(exportProgress_);
        if (exportProgress_.snapshot() != before)
            emit exportProgressChanged();
    };
    hooks.setStatusMessage = [this, tracked](const std::string& text) {
        if (!isCancellingExport_)
            setStatusMessage(QString::fromStdString(text));
        tracked([&](ExportProgressTracker& tracker) { tracker.status(text, Clock::now()); });
    };
    hooks.setProgress = [this, tracked](double fraction) {
        setProgress(fraction);
        tracked([&](ExportProgressTracker& tracker) { tracker.progress(fraction, Clock::now()); });
    };
    hooks.setActiveFileName = [this, tracked](const std::optional<std::string>& name) {
        setActiveFileName(name ? std::optional<QString>(QString::fromStdString(*name))
                               : std::nullopt);
        tracked([&](ExportProgressTracker& tracker) { tracker.activeFile(name); });
    };
    hooks.setHighlightPreview = [this, tracked](const std::vector<std::string>& lines,
                                                const std::string& text) {
        setHighlightPreview(toStringList(lines), QString::fromStdString(text));
        tracked([&](ExportProgressTracker& tracker) { tracker.previewLines(lines); });
    };
    return hooks;
}

void AppViewModel::cancelExport() {
    if (!isProcessing_)
        return;
    setStatusMessage(QStringLiteral("Canceling export\u2026"));
    setCancellingExport(true);
    // Only asks: the export notices at its next check and reports its cancellation.
    exportThread_.request_stop();
}

void AppViewModel::applyExportResult(const ExportWorkflowResult& result) {
    setCancellingExport(false);
    // What the export left out (audio a file cannot hold…) follows its usual texts, so the
    // user learns it from the status line and from the alert.
    const QStringList notices = toStringList(result.notices);
    QString status = QString::fromStdString(result.statusMessage);
    if (!notices.isEmpty())
        status += QStringLiteral(" — ") + notices.join(QLatin1Char(' '));
    setStatusMessage(status);
    if (result.progress)
        setProgress(*result.progress);
    if (result.completion) {
        QString message = QString::fromStdString(result.completion->message);
        if (!notices.isEmpty())
            message += QStringLiteral("\n\n") + notices.join(QLatin1Char('\n'));
        setCompletion(ProcessingCompletionSummary{QString::fromStdString(result.completion->title),
                                                  message, result.completion->outputURLs},
                      true);
    }
    setProcessing(false);
    setActiveFileName(std::nullopt);
    joinExportThread();
}

void AppViewModel::joinExportThread() {
    // The thread posted its result as its last step: it has finished its export and is
    // returning, so this wait is short.
    if (exportThread_.joinable())
        exportThread_.join();
}

}  // namespace skelder
