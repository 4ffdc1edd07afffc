#include "ui/main_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>

#include <cmath>

#include "app/file_list.hpp"
#include "ui/detail_pane_view.hpp"
#include "ui/export_progress_sheet.hpp"
#include "ui/preview_player_widget.hpp"
#include "ui/reveal_in_file_manager.hpp"
#include "ui/sidebar_view.hpp"

namespace skelder::ui {
namespace {

// The preview's time as the playhead takes it: negative times read 0, non-finite ones nothing.
std::optional<double> playheadSecond(double seconds) {
    if (!std::isfinite(seconds))
        return std::nullopt;
    return std::max(seconds, 0.0);
}

std::vector<std::filesystem::path> toPaths(const QStringList& files) {
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files)
        paths.emplace_back(file.toStdString());
    return paths;
}

}  // namespace

MainWindow::MainWindow(AppViewModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
    setWindowTitle(QStringLiteral("Skelder"));
    setMinimumSize(980, 620);
    resize(1180, 760);

    split_ = new QSplitter(Qt::Horizontal);
    split_->setChildrenCollapsible(false);
    sidebar_ = new SidebarView(model_);
    detail_ = new DetailPaneView(model_);
    split_->addWidget(sidebar_);
    split_->addWidget(detail_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({340, 840});
    setCentralWidget(split_);

    exportSheet_ = new ExportProgressSheet(this);
    exportSheet_->setWindowModality(Qt::WindowModal);
    connect(exportSheet_, &ExportProgressSheet::cancelExportRequested, &model_,
            &AppViewModel::cancelExport);
    connect(exportSheet_, &ExportProgressSheet::showInFileManagerRequested, this,
            [](const QStringList& files) { revealInFileManager(toPaths(files)); });
    connect(exportSheet_, &ExportProgressSheet::dismissed, this, [this] {
        isExportModalPresented_ = false;
        model_.dismissCompletion();
    });

    // The skipped files with their reasons, the exact error texts under "Show Details…", and
    // a way forward: remove them, or scan them again.
    rejectionAlert_ =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Some Files Were Skipped"), QString(),
                        QMessageBox::Ok, this);
    rejectionAlert_->setWindowModality(Qt::WindowModal);
    removeSkippedButton_ = rejectionAlert_->addButton(QStringLiteral("Remove Skipped Files"),
                                                      QMessageBox::DestructiveRole);
    retrySkippedButton_ =
        rejectionAlert_->addButton(QStringLiteral("Try Again"), QMessageBox::ActionRole);
    rejectionAlert_->setDefaultButton(QMessageBox::Ok);
    connect(rejectionAlert_, &QMessageBox::finished, this, [this] {
        QAbstractButton* clicked = rejectionAlert_->clickedButton();
        model_.dismissRejections();
        if (clicked == removeSkippedButton_)
            model_.removeSkippedFiles();
        else if (clicked == retrySkippedButton_)
            model_.retrySkippedFiles();
    });

    buildMenus();

    // The model's status line ("3 file(s), 2 selected • scanned 3/3 • ready", "No MP4 files
    // found in drop", …): the only feedback of a drop or a cancelled panel outside the sheet.
    statusBar()->setSizeGripEnabled(false);
    statusLine_ = new QLabel(model_.statusMessage());
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setContentsMargins(8, 0, 8, 0);
    statusBar()->addWidget(statusLine_, 1);
    connect(&model_, &AppViewModel::statusMessageChanged, this,
            [this] { statusLine_->setText(model_.statusMessage()); });
    // After a removal: what went, and the way back.
    undoNote_ = new QLabel;
    undoNote_->setTextFormat(Qt::PlainText);
    undoNote_->setForegroundRole(QPalette::PlaceholderText);
    undoButton_ = new QToolButton;
    undoButton_->setText(QStringLiteral("Undo"));
    connect(undoButton_, &QToolButton::clicked, &model_, &AppViewModel::undo);
    undoButton_->setAutoRaise(true);
    undoButton_->setCursor(Qt::PointingHandCursor);
    statusBar()->addPermanentWidget(undoNote_);
    statusBar()->addPermanentWidget(undoButton_);
    connect(&model_, &AppViewModel::removalsChanged, this, &MainWindow::refreshUndo);
    refreshUndo();

    connect(sidebar_, &SidebarView::tableSelectionChanged, this, &MainWindow::refreshShownFile);
    connect(detail_, &DetailPaneView::highlightSelected, this, &MainWindow::playSegment);
    connect(detail_, &DetailPaneView::toggleInclusionRequested, this,
            [this](const PlannedSegment& segment) {
                if (const auto key = primaryFilePathKey())
                    model_.toggleHighlightSegmentInclusion(*key, PlannedSegmentKey::of(segment));
            });
    connect(detail_, &DetailPaneView::retryAnalysisRequested, this, [this] {
        if (const auto key = primaryFilePathKey())
            model_.retryHighlightAnalysis(*key);
    });

    connect(&model_, &AppViewModel::droppedFilesChanged, this, &MainWindow::listedFilesChanged);
    connect(&model_, &AppViewModel::selectedFilePathKeysChanged, this, [this] {
        refreshCommands();
        // Without a list selection the shown file follows the export selection.
        if (primaryFilePathKey() != previewPathKey_)
            refreshShownFile();
    });
    connect(&model_, &AppViewModel::selectedHighlightFilterModeChanged, this, [this] {
        model_.resetHighlightPreviews();
        refreshShownFile();
    });
    for (auto signal : {&AppViewModel::highlightPreviewSegmentsByPathChanged,
                        &AppViewModel::highlightTierByPathChanged,
                        &AppViewModel::excludedHighlightSegmentsByPathChanged,
                        &AppViewModel::highlightAnalysisFailureByPathChanged}) {
        connect(&model_, signal, this, &MainWindow::refreshDetailPane);
    }
    // The model signals only real changes: a signal with the value true is its rise.
    connect(&model_, &AppViewModel::isProcessingChanged, this, [this] {
        if (model_.isProcessing())
            presentExportSheet();
        refreshExportSheet();
        refreshCommands();
    });
    connect(&model_, &AppViewModel::isCompletionAlertPresentedChanged, this, [this] {
        if (model_.isCompletionAlertPresented())
            presentExportSheet();
        refreshExportSheet();
    });
    for (auto signal :
         {&AppViewModel::progressChanged, &AppViewModel::statusMessageChanged,
          &AppViewModel::activeFileNameChanged, &AppViewModel::highlightSegmentPreviewTextChanged,
          &AppViewModel::completionSummaryChanged, &AppViewModel::isCancellingExportChanged,
          &AppViewModel::exportProgressChanged}) {
        connect(&model_, signal, this, &MainWindow::refreshExportSheet);
    }
    connect(&model_, &AppViewModel::isRejectionAlertPresentedChanged, this,
            &MainWindow::refreshRejectionAlert);
    connect(&model_, &AppViewModel::rejectedFileSummariesChanged, this,
            &MainWindow::refreshRejectionAlert);

    listedKeys_ = shownKeys();
    for (const DroppedFileItem& file : model_.droppedFiles())
        listedScanStates_.push_back(static_cast<int>(file.quickScanStatus.index()));
    refreshCommands();
    refreshExportSheet();
    refreshDetailPane();
}

MainWindow::~MainWindow() {
    previewPlaybackController_.cancel();
    removePreviewObservers();
}

void MainWindow::buildMenus() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    addFilesAction_ = fileMenu->addAction(QStringLiteral("Add Files…"));
    addFilesAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(addFilesAction_, &QAction::triggered, &model_, &AppViewModel::openFiles);
    fileMenu->addSeparator();
    settingsAction_ = fileMenu->addAction(QStringLiteral("Settings…"));
    settingsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settingsAction_->setMenuRole(QAction::PreferencesRole);
    connect(settingsAction_, &QAction::triggered, this, &MainWindow::settingsRequested);
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    undoAction_ = editMenu->addAction(QStringLiteral("Undo"));
    undoAction_->setShortcut(QKeySequence::Undo);
    connect(undoAction_, &QAction::triggered, &model_, &AppViewModel::undo);
    editMenu->addSeparator();
    selectAllAction_ = editMenu->addAction(QStringLiteral("Select All Files"));
    selectAllAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(selectAllAction_, &QAction::triggered, this, [this] { model_.setAllSelected(true); });
    deselectAllAction_ = editMenu->addAction(QStringLiteral("Deselect All Files"));
    deselectAllAction_->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_A));
    connect(deselectAllAction_, &QAction::triggered, this,
            [this] { model_.setAllSelected(false); });
    editMenu->addSeparator();
    removeSelectedAction_ = editMenu->addAction(QStringLiteral("Remove Selected"));
    removeSelectedAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    connect(removeSelectedAction_, &QAction::triggered, &model_,
            &AppViewModel::removeSelectedFiles);
    // The shortcuts work wherever the focus is in the window, the file list included.
    for (QAction* action : {addFilesAction_, settingsAction_, quit, undoAction_, selectAllAction_,
                            deselectAllAction_, removeSelectedAction_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

std::optional<PathKey> MainWindow::primaryFilePathKey() const {
    return model_.primaryFilePathKey(sidebar_->tableSelection());
}

void MainWindow::refreshCommands() {
    // Select All has something to select only when a file can be exported.
    selectAllAction_->setEnabled(model_.eligibleCount() > 0);
    deselectAllAction_->setEnabled(model_.selectedCount() > 0);
    removeSelectedAction_->setEnabled(model_.selectedCount() > 0 && !model_.isProcessing());
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (!model_.droppedFiles().empty()) {
        const std::set<PathKey> first{listedKey(model_.droppedFiles().front())};
        if (sidebar_->tableSelection() != first) {
            sidebar_->setTableSelection(first);  // refreshes through its signal
            return;
        }
    }
    refreshShownFile();
}

void MainWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (event->spontaneous())
        return;
    previewPlaybackController_.cancel();
    removePreviewObservers();
    if (auto playback = detail_->previewPlayer()->playback())
        playback->pause();
}

void MainWindow::refreshUndo() {
    const bool canUndo = model_.canUndo();
    const QString summary = canUndo ? model_.removals().newest().summary : QString();
    undoAction_->setEnabled(canUndo);
    undoAction_->setToolTip(summary);
    undoButton_->setToolTip(summary);
    undoButton_->setAccessibleDescription(summary);
    undoNote_->setText(summary);
    undoNote_->setVisible(canUndo);
    undoButton_->setVisible(canUndo);
}

std::vector<PathKey> MainWindow::shownKeys() const {
    // The files of the list's sections: skipped files are in none.
    std::vector<PathKey> keys;
    for (const DroppedFileItem& file : model_.droppedFiles()) {
        if (!std::holds_alternative<QuickScanFailed>(file.quickScanStatus))
            keys.push_back(listedKey(file));
    }
    return keys;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (model_.isProcessing()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("Export in Progress"),
                             QStringLiteral("Closing the window cancels the running export."),
                             QMessageBox::NoButton, this);
        QPushButton* close = question.addButton(QStringLiteral("Cancel Export and Close"),
                                                QMessageBox::DestructiveRole);
        question.addButton(QStringLiteral("Keep Exporting"), QMessageBox::RejectRole);
        question.setObjectName(QStringLiteral("closeWhileExporting"));
        question.exec();
        if (question.clickedButton() != close) {
            event->ignore();
            return;
        }
        model_.cancelExport();
    }
    QMainWindow::closeEvent(event);
    // The settings window and the sheets go with the window.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible())
            child->hide();
    }
}

void MainWindow::listedFilesChanged() {
    const std::vector<PathKey> keys = shownKeys();
    std::vector<int> scanStates;
    for (const DroppedFileItem& file : model_.droppedFiles())
        scanStates.push_back(static_cast<int>(file.quickScanStatus.index()));
    bool refreshed = false;
    if (keys != listedKeys_) {
        listedKeys_ = keys;
        std::set<PathKey> selection;
        for (const PathKey& key : sidebar_->tableSelection()) {
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                selection.insert(key);
        }
        if (selection.empty() && !keys.empty())
            selection.insert(keys.front());
        if (selection != sidebar_->tableSelection()) {
            sidebar_->setTableSelection(std::move(selection));  // refreshes through its signal
        } else {
            refreshShownFile();
        }
        refreshed = true;
    }
    if (scanStates != listedScanStates_) {
        listedScanStates_ = std::move(scanStates);
        if (!refreshed)
            refreshShownFile();
    }
    refreshCommands();
    refreshDetailPane();
}

void MainWindow::refreshShownFile() {
    const std::optional<PathKey> primary = primaryFilePathKey();
    refreshPreviewPlayer(primary);
    if (primary) {
        if (!model_.highlightPreviewSegmentsByPath().contains(*primary))
            model_.enqueueHighlightPreview(*primary);
        std::optional<double> peakSecond;
        if (const DroppedFileItem* file = model_.file(*primary)) {
            if (const auto* done = std::get_if<QuickScanDone>(&file->quickScanStatus))
                peakSecond = done->stats.peakCombinedGSecond;
        }
        model_.requestThumbnail(*primary, peakSecond);
        selectedHighlightSegmentIndex_.reset();
    }
    refreshDetailPane();
}

void MainWindow::refreshPreviewPlayer(const std::optional<PathKey>& primary) {
    PreviewPlayerWidget* preview = detail_->previewPlayer();
    const DroppedFileItem* file = primary ? model_.file(*primary) : nullptr;
    // The scan read how the picture is shown; the window never opens the file for it.
    const auto* scanned = file ? std::get_if<QuickScanDone>(&file->quickScanStatus) : nullptr;
    const PictureOrientation orientation =
        scanned ? scanned->stats.pictureOrientation : PictureOrientation{};
    if (primary && primary == previewPathKey_) {
        preview->setPictureOrientation(orientation);
        if (!previewProgressObserver_)
            installPreviewObservers();
        return;
    }
    previewPlaybackController_.cancel();
    removePreviewObservers();
    if (auto playback = preview->playback())
        playback->pause();
    if (file == nullptr) {
        previewPathKey_.reset();
        preview->setSource({});
        detail_->setPreviewAvailable(false);
        return;
    }
    previewPathKey_ = primary;
    preview->setSource(file->url, orientation);
    detail_->setPreviewAvailable(true);
    installPreviewObservers();
}

void MainWindow::installPreviewObservers() {
    PreviewPlayerWidget* preview = detail_->previewPlayer();
    const auto playback = preview->playback();
    if (!playback)
        return;
    readPlayerState();
    std::weak_ptr<PreviewPlaybackControlling> weakPlayback = playback;
    previewProgressObserver_ = playback->addPeriodicTimeObserver(
        media::MediaTime::fromSeconds(0.05, 600), [this, weakPlayback](media::MediaTime time) {
            if (weakPlayback.expired())
                return;
            if (const auto second = playheadSecond(time.seconds()))
                previewCurrentSecond_ = second;
            isPreviewPlaying_ = detail_->previewPlayer()->isPlaying();
            detail_->setPreviewPlayhead(isPreviewPlaying_, previewCurrentSecond_);
        });
    previewProgressObserverPlayer_ = playback;
    // The play/pause state, read on the next turn of the event loop like the ticks.
    previewTimeControlObservation_ = connect(preview, &PreviewPlayerWidget::playingChanged, this,
                                             &MainWindow::readPlayerState, Qt::QueuedConnection);
}

void MainWindow::removePreviewObservers() {
    if (auto player = previewProgressObserverPlayer_.lock(); player && previewProgressObserver_)
        player->removeTimeObserver(*previewProgressObserver_);
    previewProgressObserver_.reset();
    previewProgressObserverPlayer_.reset();
    if (previewTimeControlObservation_)
        disconnect(previewTimeControlObservation_);
    previewTimeControlObservation_ = {};
    previewCurrentSecond_.reset();
    isPreviewPlaying_ = false;
    detail_->setPreviewPlayhead(isPreviewPlaying_, previewCurrentSecond_);
}

void MainWindow::readPlayerState() {
    PreviewPlayerWidget* preview = detail_->previewPlayer();
    previewCurrentSecond_ = playheadSecond(preview->currentSeconds());
    isPreviewPlaying_ = preview->isPlaying();
    detail_->setPreviewPlayhead(isPreviewPlaying_, previewCurrentSecond_);
}

void MainWindow::refreshDetailPane() {
    const std::optional<PathKey> primary = primaryFilePathKey();
    const DroppedFileItem* file = primary ? model_.file(*primary) : nullptr;
    if (file == nullptr) {
        detail_->setShownFile(std::nullopt);
        detail_->setSelectedHighlightIndex(std::nullopt);
        return;
    }
    DetailPaneFile shown;
    shown.name = QString::fromStdString(file->url.filename().string());
    shown.timelineDurationSeconds = model_.timelineDurationSeconds(*primary);
    shown.isHighlightAnalysisInProgress = model_.isHighlightAnalysisInProgress(*primary);
    shown.analysisFailure = model_.highlightAnalysisFailure(*primary);
    const auto& segmentsByPath = model_.highlightPreviewSegmentsByPath();
    if (const auto stored = segmentsByPath.find(*primary); stored != segmentsByPath.end()) {
        const double duration = shown.timelineDurationSeconds.value_or(1);
        for (const PlannedSegment& segment : stored->second) {
            const PlannedSegmentKey key = PlannedSegmentKey::of(segment);
            shown.timelineBars.push_back(timelineBarFor(segment, duration,
                                                        model_.tier(*primary, key),
                                                        model_.isSegmentIncluded(*primary, key)));
        }
    }
    detail_->setShownFile(shown);
    detail_->setSelectedHighlightIndex(selectedHighlightSegmentIndex_);
}

void MainWindow::playSegment(int index, const PlannedSegment& segment) {
    selectedHighlightSegmentIndex_ = index;
    detail_->setSelectedHighlightIndex(index);
    const auto playback = detail_->previewPlayer()->playback();
    if (!playback)
        return;
    previewPlaybackController_.playSegment(segment, playback, [this](media::MediaTime start) {
        previewCurrentSecond_ = start.seconds();
        detail_->setPreviewPlayhead(isPreviewPlaying_, previewCurrentSecond_);
    });
}

void MainWindow::presentExportSheet() {
    isExportModalPresented_ = true;
    refreshExportSheet();
    exportSheet_->show();
    exportSheet_->raise();
}

void MainWindow::refreshExportSheet() {
    exportSheet_->setProcessing(model_.isProcessing());
    exportSheet_->setCancelling(model_.isCancellingExport());
    exportSheet_->setFileProgress(model_.exportProgress());
    exportSheet_->setProgress(model_.progress());
    exportSheet_->setStatusMessage(model_.statusMessage());
    exportSheet_->setActiveFileName(model_.activeFileName());
    exportSheet_->setHighlightPreviewText(model_.highlightSegmentPreviewText());
    std::optional<ExportSheetCompletion> completion;
    if (const auto& summary = model_.completionSummary()) {
        QStringList outputs;
        for (const auto& output : summary->outputURLs)
            outputs << QString::fromStdString(output.string());
        completion = ExportSheetCompletion{summary->title, summary->message, outputs};
    }
    exportSheet_->setCompletion(completion);
}

void MainWindow::refreshRejectionAlert() {
    rejectionAlert_->setText(model_.rejectedFileSummaries().join(QLatin1Char('\n')));
    // The exact reasons of every skipped file, for a closer look.
    QStringList details;
    for (const DroppedFileItem* file : model_.skippedFiles()) {
        details << QString::fromStdString(
            file->url.filename().string() + ": " +
            std::get<QuickScanFailed>(file->quickScanStatus).description);
    }
    rejectionAlert_->setDetailedText(details.join(QLatin1Char('\n')));
    if (model_.isRejectionAlertPresented()) {
        if (!rejectionAlert_->isVisible())
            rejectionAlert_->open();
    } else if (rejectionAlert_->isVisible()) {
        // Dismissed by the model itself: close without reporting a dismissal again.
        const QSignalBlocker blocker(rejectionAlert_);
        rejectionAlert_->hide();
    }
}

}  // namespace skelder::ui
