#pragma once

#include <QDialog>

#include <optional>
#include <vector>

#include "app/export_progress.hpp"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace skelder::ui {

class ExportFileRow;

// What the sheet shows of a finished export.
struct ExportSheetCompletion {
    QString title;
    QString message;
    QStringList outputFiles;  // absolute paths of the written files
};

// The sheet over the main window while an export runs and afterwards: the title ("Exporting",
// then the completion's title or "Export"), the file being worked on, the progress bar, the
// current step with the time left, the status line, one row per file with its own progress
// (or what became of it), the reel's segment lines behind a "Details" disclosure, and the
// buttons "Show in File Manager", "Cancel Export" and "OK". It holds plain values that its owner
// sets from the model; the buttons only signal. While an export runs the sheet cannot be
// dismissed (Escape and the window's close button do nothing); afterwards they act like "OK".
// After "Cancel Export" the sheet shows that it is cancelling until the export has ended.
class ExportProgressSheet : public QDialog {
    Q_OBJECT

  public:
    explicit ExportProgressSheet(QWidget* parent = nullptr);

    void setProcessing(bool processing);
    void setCancelling(bool cancelling);
    void setProgress(double fraction);
    void setStatusMessage(const QString& message);
    void setActiveFileName(const std::optional<QString>& name);
    void setFileProgress(const ExportProgressSnapshot& snapshot);
    // The segment lines of a reel's included segments (and its skipped files), behind
    // "Details"; no disclosure when empty.
    void setHighlightPreviewText(const QString& text);
    void setCompletion(const std::optional<ExportSheetCompletion>& completion);

    bool isProcessing() const { return isProcessing_; }
    QString titleText() const;
    // The progress as the accessibility value reads it: "%.0f percent".
    QString progressAccessibleValue() const;
    // The step line as shown ("Drawing the HUD and encoding (file 1 of 2) · About 2 minutes
    // left"), empty when hidden.
    QString stepText() const;
    // The file rows: name, then the state or percentage shown beside it, then its note.
    std::vector<QStringList> fileRowTexts() const;
    QToolButton* detailsButton() const { return details_; }
    QPlainTextEdit* detailsText() const { return preview_; }

    void reject() override;

  signals:
    // "Show in File Manager": show these files selected in the file browser.
    void showInFileManagerRequested(const QStringList& files);
    void cancelExportRequested();
    // "OK" (or dismissing the sheet after the export): the sheet has closed itself; the owner
    // dismisses the completion.
    void dismissed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void refresh();
    void dismiss();

    QLabel* title_ = nullptr;
    QLabel* completionMessage_ = nullptr;
    QLabel* activeFile_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* step_ = nullptr;
    QLabel* status_ = nullptr;
    QScrollArea* fileScroll_ = nullptr;
    QWidget* files_ = nullptr;
    QVBoxLayout* fileRows_ = nullptr;
    std::vector<ExportFileRow*> rows_;
    QToolButton* details_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QPushButton* showInFileManager_ = nullptr;
    QPushButton* cancelExport_ = nullptr;
    QPushButton* ok_ = nullptr;

    bool isProcessing_ = false;
    bool isCancelling_ = false;
    double progress_ = 0;
    std::optional<QString> activeFileName_;
    std::optional<ExportSheetCompletion> completion_;
    ExportProgressSnapshot snapshot_;
};

// "%.0f percent" of `fraction` × 100.
QString progressPercentText(double fraction);

// "A few seconds left", "About 40 seconds left", "About 3 minutes left", "About 1 h 20 min left".
QString timeLeftText(double seconds);

}  // namespace skelder::ui
