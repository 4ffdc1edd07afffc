#pragma once

// The file dialogs of the file panel service, built without being shown, so that what they
// offer can be checked and a caller can show them in its own way.

#include <QFileDialog>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "export/output_paths.hpp"

namespace skelder::ui {

// The open panel for inputs: several files and folders at once. Toolkit file dialogs choose
// either files or folders; this one (Qt's own dialog, not the desktop's) lists both, and "Open"
// takes every selected item when the selection holds a folder. A double click (or Return in the
// list) on a folder still opens it for browsing; without a selected folder the dialog behaves
// as Qt's multiple-file dialog.
class InputFilesDialog : public QFileDialog {
    Q_OBJECT

  public:
    explicit InputFilesDialog(QWidget* parent = nullptr);

    // The chosen files and folders, after the dialog was accepted.
    std::vector<std::filesystem::path> chosenPaths() const;

    void accept() override;

  private:
    QStringList selectedItemPaths() const;
    void enableOpenForSelectedFolders();

    std::optional<QStringList> chosenItems_;
};

std::unique_ptr<InputFilesDialog> makeInputFilesDialog(QWidget* parent = nullptr);

// The panel for the destination of an export: a save panel for a highlights reel ("Save
// Highlights Reel"), a best laps reel ("Save Best Laps Reel") or the single output of a full
// export ("Save Output"), proposing the given
// name in the first input's folder; a folder panel ("Choose Output Folder") for several full
// outputs. Each shows its message above the file list.
std::unique_ptr<QFileDialog> makeOutputTargetDialog(
    const std::vector<std::filesystem::path>& inputURLs, ProcessingMode mode,
    const std::string& defaultReelName, QWidget* parent = nullptr);

// The destination an accepted output dialog stands for, or nothing when it holds no path.
std::optional<OutputTarget> outputTargetOf(const QFileDialog& dialog,
                                           const std::vector<std::filesystem::path>& inputURLs,
                                           ProcessingMode mode);

// The message line shown in a panel (empty when it has none).
QString panelMessage(const QFileDialog& dialog);

}  // namespace skelder::ui
