#include "ui/file_panel_service.hpp"

#include "ui/file_panel_dialogs.hpp"

namespace skelder::ui {

FilePanelService::FilePanelService(QWidget* parentWindow, DialogRunner runner)
    : parentWindow_(parentWindow), runner_(std::move(runner)) {
    if (!runner_) {
        runner_ = [](QFileDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    }
}

std::optional<std::vector<std::filesystem::path>> FilePanelService::chooseInputFiles() {
    const auto dialog = makeInputFilesDialog(parentWindow_);
    dialog->setWindowModality(parentWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
    if (!lastInputDirectory_.isEmpty()) {
        dialog->setDirectory(lastInputDirectory_);
    }
    if (!runner_(*dialog)) {
        return std::nullopt;
    }
    lastInputDirectory_ = dialog->directory().absolutePath();
    std::vector<std::filesystem::path> paths = dialog->chosenPaths();
    if (paths.empty()) {
        return std::nullopt;
    }
    return paths;
}

std::optional<OutputTarget> FilePanelService::chooseOutputTarget(
    const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode,
    const std::string& defaultReelName) {
    const auto dialog = makeOutputTargetDialog(inputURLs, mode, defaultReelName, parentWindow_);
    dialog->setWindowModality(parentWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
    if (!runner_(*dialog)) {
        return std::nullopt;
    }
    return outputTargetOf(*dialog, inputURLs, mode);
}

}  // namespace skelder::ui
