#pragma once

#include <QDialog>

#include <optional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace skelder::ui {

// What the sheet shows of a finished export.
struct ExportSheetCompletion {
    QString title;
    QString message;
    QStringList outputFiles;  // absolute paths of the written files
};

// The sheet over the main window while an export runs and afterwards: the title ("Exporting",
// then the completion's title or "Export"), the file being worked on, the progress bar, the
// status line, the highlights of a reel, and the buttons "Show in Finder", "Cancel Export" and
// "OK". It holds plain values that its owner sets from the model; the buttons only signal.
// While an export runs the sheet cannot be dismissed (Escape and the window's close button do
// nothing); afterwards they act like "OK".
class ExportProgressSheet : public QDialog {
    Q_OBJECT

  public:
    explicit ExportProgressSheet(QWidget* parent = nullptr);

    void setProcessing(bool processing);
    void setProgress(double fraction);
    void setStatusMessage(const QString& message);
    void setActiveFileName(const std::optional<QString>& name);
    // The preview lines of a reel's included segments (and its skipped files); hidden when empty.
    void setHighlightPreviewText(const QString& text);
    void setCompletion(const std::optional<ExportSheetCompletion>& completion);

    bool isProcessing() const { return isProcessing_; }
    QString titleText() const;
    // The progress as the accessibility value reads it: "%.0f percent".
    QString progressAccessibleValue() const;

    void reject() override;

  signals:
    // "Show in Finder": show these files selected in the file browser.
    void showInFinderRequested(const QStringList& files);
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
    QLabel* status_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QPushButton* showInFinder_ = nullptr;
    QPushButton* cancelExport_ = nullptr;
    QPushButton* ok_ = nullptr;

    bool isProcessing_ = false;
    double progress_ = 0;
    std::optional<QString> activeFileName_;
    std::optional<ExportSheetCompletion> completion_;
};

// "%.0f percent" of `fraction` × 100.
QString progressPercentText(double fraction);

}  // namespace skelder::ui
