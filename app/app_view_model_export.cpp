// The export actions of the model. The workflow's flows block their thread, so each export
// runs on `exportThread_` and hands every hook and its result to the main thread through
// `executor_`; a reel reads the user's exclusions from `exclusionsMirror_`.

#include <QStringList>

#include "app/app_view_model.hpp"
#include "export/error_description.hpp"

namespace skelder {
namespace {

QStringList toStringList(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        list.append(QString::fromStdString(line));
    return list;
}

}  // namespace

void AppViewModel::startExport() {
    if (isProcessing_ || isChoosingExportTarget_)
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
        inputs, selectedMode_, defaultReelFileName(inputs));
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

    joinExportThread();
    setProcessing(true);
    setProgress(0);
    setActiveFileName(std::nullopt);
    setHighlightPreview({}, {});

    ExportWorkflowHooks hooks;
    hooks.setStatusMessage = [this](const std::string& text) {
        setStatusMessage(QString::fromStdString(text));
    };
    hooks.setProgress = [this](double fraction) { setProgress(fraction); };
    hooks.setActiveFileName = [this](const std::optional<std::string>& name) {
        setActiveFileName(name ? std::optional<QString>(QString::fromStdString(*name))
                               : std::nullopt);
    };
    hooks.setHighlightPreview = [this](const std::vector<std::string>& lines,
                                       const std::string& text) {
        setHighlightPreview(toStringList(lines), QString::fromStdString(text));
    };

    exportThread_ =
        std::jthread([this, workflow = services_.exportWorkflow, exclusions = exclusionsMirror_,
                      queue = &mainThreadQueue_, executor = &executor_, inputs, target = *target,
                      mode, filterMode, debugHUDEnabled, offsetMilliseconds,
                      hooks = std::move(hooks)](std::stop_token stop) {
            ExportWorkflowResult result;
            try {
                if (mode == ProcessingMode::full) {
                    result = workflow->runFullExport(inputs, target, hooks, offsetMilliseconds,
                                                     *executor, stop);
                } else {
                    result = workflow->runHighlightsReel(
                        inputs, target, filterMode, debugHUDEnabled, offsetMilliseconds, hooks,
                        [exclusions](const std::string& key) { return exclusions->lookup(key); },
                        *executor, stop);
                }
            } catch (const std::exception& error) {
                // The flows report their failures as results; this is only a last guard.
                result = {"Export failed: " + errorDescription(error), 1.0, std::nullopt};
            }
            queue->post([this, result = std::move(result)] { applyExportResult(result); });
        });
}

void AppViewModel::cancelExport() {
    if (!isProcessing_)
        return;
    setStatusMessage(QStringLiteral("Canceling export\u2026"));
    exportThread_.request_stop();
}

void AppViewModel::applyExportResult(const ExportWorkflowResult& result) {
    setStatusMessage(QString::fromStdString(result.statusMessage));
    if (result.progress)
        setProgress(*result.progress);
    if (result.completion) {
        setCompletion(
            ProcessingCompletionSummary{QString::fromStdString(result.completion->title),
                                        QString::fromStdString(result.completion->message),
                                        result.completion->outputURLs},
            true);
    }
    setProcessing(false);
    setActiveFileName(std::nullopt);
    joinExportThread();
}

void AppViewModel::joinExportThread() {
    // The thread posted its result as its last step, so this wait is short.
    if (exportThread_.joinable())
        exportThread_.join();
}

}  // namespace skelder
