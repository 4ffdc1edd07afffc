#pragma once

#include <QMainWindow>

#include <optional>
#include <set>
#include <vector>

#include "app/app_view_model.hpp"
#include "ui/preview_clip_playback_controller.hpp"
#include "ui/preview_playback_controlling.hpp"

class QAbstractButton;
class QAction;
class QLabel;
class QMessageBox;
class QSplitter;
class QToolButton;

namespace skelder::ui {

class DetailPaneView;
class ExportProgressSheet;
class SidebarView;

// The main window: the file list beside the detail pane, the file commands of the menus (Undo
// takes back a removal), the status line with its "Undo" after a removal, the "Some Files Were
// Skipped" alert (with the ways to remove or retry those files) and the export sheet. It observes
// the model and keeps only presentation state: the list selection, the preview of the shown file
// and its playhead, the chosen highlight, and whether the export sheet is up.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(AppViewModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    SidebarView* sidebar() const { return sidebar_; }
    DetailPaneView* detailPane() const { return detail_; }
    ExportProgressSheet* exportSheet() const { return exportSheet_; }
    QMessageBox* rejectionAlert() const { return rejectionAlert_; }
    QAction* addFilesAction() const { return addFilesAction_; }
    QAction* undoAction() const { return undoAction_; }
    QToolButton* undoButton() const { return undoButton_; }
    QAbstractButton* removeSkippedButton() const { return removeSkippedButton_; }
    QAbstractButton* retrySkippedButton() const { return retrySkippedButton_; }
    QAction* selectAllAction() const { return selectAllAction_; }
    QAction* deselectAllAction() const { return deselectAllAction_; }
    QAction* removeSelectedAction() const { return removeSelectedAction_; }
    QAction* settingsAction() const { return settingsAction_; }
    QAction* setStartFinishAction() const { return setStartFinishAction_; }
    QAction* resetStartFinishAction() const { return resetStartFinishAction_; }
    QLabel* statusLine() const { return statusLine_; }

    // The file the detail pane shows (and previews).
    std::optional<PathKey> primaryFilePathKey() const;
    const std::optional<PathKey>& previewPathKey() const { return previewPathKey_; }
    bool isExportModalPresented() const { return isExportModalPresented_; }
    bool isPreviewPlaying() const { return isPreviewPlaying_; }
    std::optional<double> previewCurrentSecond() const { return previewCurrentSecond_; }
    std::optional<int> selectedHighlightSegmentIndex() const {
        return selectedHighlightSegmentIndex_;
    }
    const PreviewClipPlaybackController& previewPlaybackController() const {
        return previewPlaybackController_;
    }

  signals:
    // The File menu's "Settings…".
    void settingsRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Closing while an export runs asks first; closing cancels the export (its partial file
    // is removed, an existing output stays as it was).
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildMenus();
    void refreshShownFile();
    void refreshPreviewPlayer(const std::optional<PathKey>& primary);
    void refreshDetailPane();
    void refreshCommands();
    void listedFilesChanged();
    void playSegment(int index, const PlannedSegment& segment);
    // Plays a lap given in telemetry seconds: the picture shows each moment of the telemetry
    // the Telemetry Advance later.
    void playLap(double startSeconds, double endSeconds);
    // The shown file's start/finish line where the car is in the preview's picture, or back
    // at its default place.
    void setStartFinishHere();
    void resetStartFinish();
    void installPreviewObservers();
    void removePreviewObservers();
    void readPlayerState();
    void presentExportSheet();
    void refreshExportSheet();
    void refreshRejectionAlert();
    void refreshUndo();
    // The Telemetry Advance in seconds.
    double advanceSeconds() const;
    // The files in the list's sections (every listed file but the skipped ones), in order.
    std::vector<PathKey> shownKeys() const;

    AppViewModel& model_;
    QSplitter* split_ = nullptr;
    SidebarView* sidebar_ = nullptr;
    DetailPaneView* detail_ = nullptr;
    ExportProgressSheet* exportSheet_ = nullptr;
    QMessageBox* rejectionAlert_ = nullptr;
    QAction* addFilesAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    QLabel* undoNote_ = nullptr;
    QAbstractButton* removeSkippedButton_ = nullptr;
    QAbstractButton* retrySkippedButton_ = nullptr;
    QAction* selectAllAction_ = nullptr;
    QAction* deselectAllAction_ = nullptr;
    QAction* removeSelectedAction_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* setStartFinishAction_ = nullptr;
    QAction* resetStartFinishAction_ = nullptr;
    QLabel* statusLine_ = nullptr;

    std::optional<PathKey> previewPathKey_;
    std::weak_ptr<PreviewPlaybackControlling> previewProgressObserverPlayer_;
    std::optional<PreviewPlaybackControlling::ObserverToken> previewProgressObserver_;
    QMetaObject::Connection previewTimeControlObservation_;
    std::optional<double> previewCurrentSecond_;
    bool isPreviewPlaying_ = false;
    PreviewClipPlaybackController previewPlaybackController_;
    std::optional<int> selectedHighlightSegmentIndex_;
    bool isExportModalPresented_ = false;
    // What the list-change triggers compare against.
    std::vector<PathKey> listedKeys_;
    std::vector<int> listedScanStates_;
};

}  // namespace skelder::ui
