#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

#include "app/file_panel_servicing.hpp"

class QFileDialog;

namespace skelder::ui {

// The file panels on Qt's file dialogs (see file_panel_dialogs.hpp), window-modal over the
// parent window and blocking until closed.
class FilePanelService final : public FilePanelServicing {
  public:
    // Shows a configured dialog and tells whether the user confirmed it. The default runs the
    // dialog's own event loop (exec()); tests hand in one that inspects and answers it.
    using DialogRunner = std::function<bool(QFileDialog& dialog)>;

    explicit FilePanelService(QWidget* parentWindow = nullptr, DialogRunner runner = {});

    void setParentWindow(QWidget* parentWindow) { parentWindow_ = parentWindow; }

    std::optional<std::vector<std::filesystem::path>> chooseInputFiles() override;
    std::optional<OutputTarget> chooseOutputTarget(
        const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode,
        const std::string& defaultReelName) override;

  private:
    QPointer<QWidget> parentWindow_;
    DialogRunner runner_;
    QString lastInputDirectory_;
};

}  // namespace skelder::ui
