#pragma once

// AppViewModel: the single object behind the window.
//
// It owns the file list and the export selection, one record of results per listed file
// (segments, tiers, exclusions, thumbnail, a failed analysis, laps), the persisted settings,
// the status line, the alerts and the export state, and offers every action the window
// triggers. The window observes it and
// redraws from it alone; it never touches the services.
//
// Threads. The model lives on the main thread (the thread that created it, which runs the Qt
// event loop): every getter, setter and action is called there, and every change signal is
// emitted there. Quick scans, highlight analyses, lap analyses, thumbnails and exports run on
// background threads that never touch the model: they post their outcome back to the main thread,
// where the model checks that it is still wanted (the file is still listed, the task was not
// cancelled or replaced, the analysis generation is current) before applying it. Destroying
// the model cancels all work and waits for its threads (the export and highlight analyses stop
// at once; a quick scan or thumbnail already reading a file finishes first); whatever they
// posted is dropped unrun.
//
// Observing. Every property has a getter and a change signal (no arguments; read the getter).
// A signal is emitted only when the value really changed; a list change made by one action
// (adding, removing, sorting) is one signal. Simple values are also Q_PROPERTYs.
//
// Properties (start value):
//   selectedMode                       ProcessingMode::highlights (full, highlights, bestLaps,
//                                      hudLayer)
//   selectedHighlightFilterMode        HighlightFilterMode::onlyBest; after changing it call
//                                      resetHighlightPreviews(), then ask again for the shown
//                                      file (enqueueHighlightPreview, requestThumbnail)
//   droppedFiles                       empty; sorted by file name, capitals first
//   isDropTargeted                     false
//   isProcessing                       false; an export is running
//   progress                           0; export progress 0..1
//   statusMessage                      "Drop MP4 files to begin"
//   activeFileName                     none; the file an export is working on
//   highlightSegmentLines              empty; the preview lines of a reel export
//   highlightSegmentPreviewText        empty; the same lines joined by line feeds
//   selectedFilePathKeys               empty; the export selection
//   overlayTimeOffsetMilliseconds      the stored setting, else the default (not clamped here)
//   isOverlayTimingDebugHUDEnabled     the stored setting, else false
//   speedUnit                          the stored setting, else mph; the unit of the HUD's
//                                      speed in exports and of the file list's top speed
//   lapHudElements                     the stored switches, else none; the lap elements of the
//                                      HUD in every export
//   videoShape                         the stored choice, else the recording's own shape; the
//                                      frame of full videos and reels (not of HUD layers)
//   completionSummary                  none; the result of the last export
//   isCompletionAlertPresented         false
//   rejectedFileSummaries              empty; "name: No Kovra Data" per failed scan
//   isRejectionAlertPresented          false; raised once when the scans go idle with
//                                      rejections ("Some Files Were Skipped")
//   fileResults                        empty; per path key of a listed file, what is known of
//                                      it (FileResults: segments, tiers, exclusions, thumbnail,
//                                      failed highlight analysis, laps); signal
//                                      fileResultsChanged
//   startFinishLineSeconds(key)        the stored setting per recording, else none; signal
//                                      startFinishLinesChanged
//   removals                           empty; the removals Undo can take back, newest last
//   isCancellingExport                 false; a cancelled export is winding down
//   exportProgress                     the running (or last) export per file, its step and
//                                      the time left
//
// Files whose quick scan failed ("skipped" files) stay listed but are never selected for
// export, never shown in the detail pane and never counted as eligible: the selection, the
// counts and the select-all state always agree with what an export would take.
//
// Files are identified everywhere by their path key (core/path_key.hpp: the absolute path
// with "." and ".." resolved); DroppedFileItem::url holds that normalised path, so its text
// is the key (listedKey in app/file_list.hpp).

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "app/app_services.hpp"
#include "app/background_tasks.hpp"
#include "app/excluded_segments_mirror.hpp"
#include "app/export_progress.hpp"
#include "app/file_results.hpp"
#include "app/main_thread_queue.hpp"
#include "app/removal_history.hpp"
#include "app/work_queue_state.hpp"
#include "core/speed_unit.hpp"
#include "core/telemetry_advance.hpp"
#include "export/output_paths.hpp"
#include "highlights/filter_mode.hpp"
#include "highlights/segments.hpp"
#include "highlights/session.hpp"
#include "telemetry/quick_scan.hpp"

namespace skelder {

// The result of the last export, for the completion alert.
struct ProcessingCompletionSummary {
    QString title;
    QString message;
    std::vector<std::filesystem::path> outputURLs;

    friend bool operator==(const ProcessingCompletionSummary&,
                           const ProcessingCompletionSummary&) = default;
};

// The select-all checkbox: no eligible file selected, some, or all of them.
enum class ExportSelectionState { none, some, all };

class AppViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        bool isDropTargeted READ isDropTargeted WRITE setDropTargeted NOTIFY isDropTargetedChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(QStringList highlightSegmentLines READ highlightSegmentLines NOTIFY
                   highlightSegmentLinesChanged)
    Q_PROPERTY(QString highlightSegmentPreviewText READ highlightSegmentPreviewText NOTIFY
                   highlightSegmentPreviewTextChanged)
    Q_PROPERTY(double overlayTimeOffsetMilliseconds READ overlayTimeOffsetMilliseconds WRITE
                   setOverlayTimeOffsetMilliseconds NOTIFY overlayTimeOffsetMillisecondsChanged)
    Q_PROPERTY(bool isOverlayTimingDebugHUDEnabled READ isOverlayTimingDebugHUDEnabled WRITE
                   setOverlayTimingDebugHUDEnabled NOTIFY isOverlayTimingDebugHUDEnabledChanged)
    Q_PROPERTY(bool isCompletionAlertPresented READ isCompletionAlertPresented NOTIFY
                   isCompletionAlertPresentedChanged)
    Q_PROPERTY(QStringList rejectedFileSummaries READ rejectedFileSummaries NOTIFY
                   rejectedFileSummariesChanged)
    Q_PROPERTY(bool isRejectionAlertPresented READ isRejectionAlertPresented NOTIFY
                   isRejectionAlertPresentedChanged)

  public:
    static constexpr int maxConcurrentQuickScans = 2;
    static constexpr int maxConcurrentHighlightPreviews = 1;
    static constexpr int maxConcurrentLapAnalyses = 1;

    // Creates the services left empty in `services` with their defaults (app_services.hpp)
    // and reads the settings.
    explicit AppViewModel(AppServices services = {}, QObject* parent = nullptr);
    ~AppViewModel() override;

    // --- Properties -------------------------------------------------------------------------
    ProcessingMode selectedMode() const { return selectedMode_; }
    void setSelectedMode(ProcessingMode mode);
    HighlightFilterMode selectedHighlightFilterMode() const { return selectedHighlightFilterMode_; }
    void setSelectedHighlightFilterMode(HighlightFilterMode mode);
    const std::vector<DroppedFileItem>& droppedFiles() const { return droppedFiles_; }
    bool isDropTargeted() const { return isDropTargeted_; }
    void setDropTargeted(bool targeted);
    bool isProcessing() const { return isProcessing_; }
    double progress() const { return progress_; }
    QString statusMessage() const { return statusMessage_; }
    std::optional<QString> activeFileName() const { return activeFileName_; }
    QStringList highlightSegmentLines() const { return highlightSegmentLines_; }
    QString highlightSegmentPreviewText() const { return highlightSegmentPreviewText_; }
    const std::set<PathKey>& selectedFilePathKeys() const { return selectedFilePathKeys_; }
    double overlayTimeOffsetMilliseconds() const { return overlayTimeOffsetMilliseconds_; }
    // Stored in the settings on every assignment.
    void setOverlayTimeOffsetMilliseconds(double milliseconds);
    bool isOverlayTimingDebugHUDEnabled() const { return isOverlayTimingDebugHUDEnabled_; }
    void setOverlayTimingDebugHUDEnabled(bool enabled);
    SpeedUnit speedUnit() const { return speedUnit_; }
    void setSpeedUnit(SpeedUnit unit);
    const LapHudElements& lapHudElements() const { return lapHudElements_; }
    void setLapHudElements(const LapHudElements& elements);
    const VideoShape& videoShape() const { return videoShape_; }
    void setVideoShape(const VideoShape& shape);
    const std::optional<ProcessingCompletionSummary>& completionSummary() const {
        return completionSummary_;
    }
    bool isCompletionAlertPresented() const { return isCompletionAlertPresented_; }
    QStringList rejectedFileSummaries() const { return rejectedFileSummaries_; }
    bool isRejectionAlertPresented() const { return isRejectionAlertPresented_; }
    // Only listed files have a record; a file nothing is known of yet has none.
    const FileResultsByPath& fileResults() const { return fileResults_; }
    const RemovalHistory& removals() const { return removals_; }
    bool isCancellingExport() const { return isCancellingExport_; }
    const ExportProgressSnapshot& exportProgress() const { return exportProgress_.snapshot(); }

    // --- Derived values ---------------------------------------------------------------------
    // Listed files whose key is selected (never a skipped file).
    int selectedCount() const;
    // Listed files, in list order, that are selected and whose scan did not fail.
    std::vector<std::filesystem::path> selectedExportURLs() const;
    // Listed files whose scan did not fail (the select-all checkbox's "eligible" count).
    int eligibleCount() const;
    // none when nothing eligible is selected (or nothing is eligible), all when every eligible
    // file is, some otherwise.
    ExportSelectionState exportSelectionState() const;
    // The listed files whose quick scan failed, in list order.
    std::vector<const DroppedFileItem*> skippedFiles() const;
    // Whether Undo has something to take back.
    bool canUndo() const { return !removals_.empty(); }

    // --- Per file ---------------------------------------------------------------------------
    // The listed file with this key, or null.
    const DroppedFileItem* file(const PathKey& pathKey) const;
    // The file's record, or null when nothing is known of it.
    const FileResults* results(const PathKey& pathKey) const;
    // The analysed segments, or null before the analysis.
    const std::vector<PlannedSegment>* highlightSegments(const PathKey& pathKey) const;
    // The tier recorded for a segment of a file; `best` when none is recorded.
    HighlightTier tier(const PathKey& pathKey, const PlannedSegmentKey& segment) const;
    // Whether a segment of a file goes into a reel (not excluded).
    bool isSegmentIncluded(const PathKey& pathKey, const PlannedSegmentKey& segment) const;
    // The stored picture, or a null image.
    QImage thumbnail(const PathKey& pathKey) const;

    // The file the detail pane shows for a list selection of the window: the first listed
    // file whose key is in `tableSelection`, else the first listed file in the export
    // selection, else none.
    std::optional<PathKey> primaryFilePathKey(const std::set<PathKey>& tableSelection) const;
    // The length of a file's timeline: none without stored segments; otherwise the scanned
    // duration S (0 when unknown) and the largest segment end E give max(S, E) when E >= 2,
    // else S; never below 1.
    std::optional<double> timelineDurationSeconds(const PathKey& pathKey) const;
    // True while a listed file is pending, scanning, or scanned without stored segments and
    // without a failed analysis.
    bool isHighlightAnalysisInProgress(const PathKey& pathKey) const;
    // The message of the file's failed highlight analysis, if it failed.
    std::optional<QString> highlightAnalysisFailure(const PathKey& pathKey) const;
    // The laps found, or null before the lap analysis.
    const FileLaps* laps(const PathKey& pathKey) const;
    // True while a listed file's laps are still to come: its scan or highlight analysis is
    // unfinished, or its lap analysis is queued or running (then `laps` may still hold the
    // laps of a line moved since). A failed highlight analysis brings no laps.
    bool isLapAnalysisInProgress(const PathKey& pathKey) const;
    // Where the user put the recording's start/finish line (telemetry seconds), remembered
    // across runs; none: the default place (the end of the longest full-throttle stretch).
    std::optional<double> startFinishLineSeconds(const PathKey& pathKey) const;

    // The background queues, for inspection.
    const WorkQueueState& queues() const { return queues_; }

    // --- Actions ----------------------------------------------------------------------------
    // Dropped files and folders: folders give their MP4 files (recursively), other items
    // count when their extension is "mp4" in any case; files already listed are skipped.
    // Nothing usable: "No MP4 files found in drop". New files start selected (all listed
    // files when nothing was selected) and are queued for a quick scan.
    void addFiles(const std::vector<std::filesystem::path>& urls);
    // The open panel of the file panel service; its choice goes to addFiles.
    void openFiles();
    // A failed file cannot be selected.
    void toggleSelection(const PathKey& pathKey);
    // true: every listed file whose scan did not fail; false: none.
    void setAllSelected(bool selected);
    // The file, its background work and its results. Ignored while exporting. Every removal
    // (this one, the ones below and clearAll) can be taken back with undo().
    void removeFile(const PathKey& pathKey);
    // Several files in one step (one undo). Ignored while exporting.
    void removeFiles(const std::vector<PathKey>& pathKeys);
    // Ignored while exporting.
    void removeSelectedFiles();
    // The files whose quick scan failed. Ignored while exporting.
    void removeSkippedFiles();
    // Forgets the file's results and scans it again. Ignored while exporting. A skipped file
    // is selected again, as when it was added.
    void reanalyzeFile(const PathKey& pathKey);
    // Scans every skipped file again. Ignored while exporting.
    void retrySkippedFiles();
    // Empties the list and every result. Ignored while exporting.
    void clearAll();
    // Brings back the files of the newest removal with their scan results and records (files
    // listed again meanwhile stay as they are); unfinished scans start again.
    void undo();
    void toggleHighlightSegmentInclusion(const PathKey& pathKey,
                                         const PlannedSegmentKey& segmentKey);
    // Throws away every highlight result and analysis (the filter mode changed); thumbnails
    // and laps do not depend on the filter and stay.
    void resetHighlightPreviews();
    void dismissCompletion();
    void dismissRejections();
    // The rejection alert again, listing every skipped file with its reason.
    void showSkippedFiles();
    // Queues the highlight analysis of a scanned file (the window asks for the shown file).
    // A file whose analysis failed is not queued again until it changes on disk.
    void enqueueHighlightPreview(const PathKey& pathKey);
    // Forgets a failed analysis and queues the file again.
    void retryHighlightAnalysis(const PathKey& pathKey);
    // Queues the lap analysis of a file whose highlights are analysed, unless its laps are
    // stored for the file as it is on disk and its current line (the window asks for the
    // shown file; every highlight analysis asks for its own file).
    void enqueueLapAnalysis(const PathKey& pathKey);
    // Puts a listed file's start/finish line where the car was at `telemetrySeconds` (none:
    // back to the default place), stores it in the settings under the path key and analyses
    // the file's laps again. A time that is not finite is ignored.
    void setStartFinishLine(const PathKey& pathKey, std::optional<double> telemetrySeconds);
    // Makes the file's thumbnail unless it has one: at `preferredSecond`, else at a quarter
    // of its duration, else at 0.
    void requestThumbnail(const PathKey& pathKey, std::optional<double> preferredSecond);
    // Asks where to write (the file panel service), then exports the selected files in the
    // selected mode on a background thread; a best laps reel takes each file's line as set
    // when the export starts. Nothing selected: "Select at least one MP4 file
    // first"; panel cancelled: "Export canceled". Ignored while exporting.
    void startExport();
    // "Canceling export…" and asks the running export to stop; returns at once. The export
    // winds down (isCancellingExport) and its cancellation result follows.
    void cancelExport();
    // Quitting: asks every scan, analysis, thumbnail and the export to stop, without waiting,
    // and starts nothing new. The export's result still arrives; destroying the model then
    // waits briefly for the rest.
    void stopAllWork();

  signals:
    void selectedModeChanged();
    void selectedHighlightFilterModeChanged();
    void droppedFilesChanged();
    void isDropTargetedChanged();
    void isProcessingChanged();
    void progressChanged();
    void statusMessageChanged();
    void activeFileNameChanged();
    void highlightSegmentLinesChanged();
    void highlightSegmentPreviewTextChanged();
    void selectedFilePathKeysChanged();
    void overlayTimeOffsetMillisecondsChanged();
    void isOverlayTimingDebugHUDEnabledChanged();
    void speedUnitChanged();
    void lapHudElementsChanged();
    void videoShapeChanged();
    void completionSummaryChanged();
    void isCompletionAlertPresentedChanged();
    void rejectedFileSummariesChanged();
    void isRejectionAlertPresentedChanged();
    void fileResultsChanged();
    void startFinishLinesChanged();
    void removalsChanged();
    void isCancellingExportChanged();
    void exportProgressChanged();

  private:
    struct HighlightOutcome {
        std::optional<TieredTelemetrySession> session;
        std::optional<std::string> failure;
        bool cancelled = false;
    };
    struct LapOutcome {
        std::shared_ptr<const laps::LapAnalysis> analysis;
        std::optional<std::string> failure;
        bool cancelled = false;
    };

    DroppedFileItem* findFile(const PathKey& pathKey);
    bool isListed(const PathKey& pathKey) const;

    // Setters that signal only on change.
    void setStatusMessage(const QString& text);
    void setProgress(double fraction);
    void setActiveFileName(const std::optional<QString>& name);
    void setHighlightPreview(const QStringList& lines, const QString& text);
    void setProcessing(bool processing);
    void setCompletion(std::optional<ProcessingCompletionSummary> summary, bool presented);
    void setRejectionAlertPresented(bool presented);
    void setSelection(std::set<PathKey> keys);
    // Changes the file's record (made when missing, dropped when left empty); signals and
    // republishes the exclusions when `change` returns true.
    void changeResults(const PathKey& pathKey, const std::function<bool(FileResults&)>& change);
    // Changes every record the same way, with one signal.
    void changeAllResults(const std::function<bool(FileResults&)>& change);
    void resultsChanged();
    void setFileStatus(const PathKey& pathKey, QuickScanStatus status);
    void setCancellingExport(bool cancelling);
    void setRejectedFileSummaries(QStringList lines);
    void setAnalysisFailure(const PathKey& pathKey,
                            std::optional<HighlightAnalysisFailure> failure);
    bool hasQueuedLapAnalysis(const PathKey& pathKey) const;

    // Removes the files (one undo step); `cleared` words the step as a clearing.
    void removeListed(const std::set<PathKey>& pathKeys, bool cleared);
    RemovedFile snapshotOf(const DroppedFileItem& item) const;

    // Drops the state of files no longer listed, then writes the status line.
    void refreshStatusLine();

    // Work queues (app_view_model_queues.cpp).
    void enqueueQuickScans(const std::vector<PathKey>& pathKeys);
    void pumpQuickScans();
    void quickScanFinished(const PathKey& pathKey, std::uint64_t taskId, QuickScanStatus result);
    void pumpHighlightPreviews();
    void highlightPreviewFinished(const PathKey& pathKey, std::uint64_t taskId,
                                  std::int64_t generation, HighlightOutcome outcome);
    void thumbnailFinished(const PathKey& pathKey, std::uint64_t taskId,
                           std::optional<std::vector<std::uint8_t>> jpegData);
    void pumpLapAnalyses();
    void lapAnalysisFinished(const PathKey& pathKey, std::uint64_t taskId,
                             std::optional<double> lineAtSeconds, std::optional<FileStamp> stamp,
                             LapOutcome outcome);
    // Cancels and forgets the file's queued or running lap analysis; true when one ran.
    bool forgetLapAnalysis(const PathKey& pathKey);
    // Cancels and forgets the file's tasks and results; true when a task was running.
    bool forgetFile(const PathKey& pathKey);
    void cancelAllWork();
    // Removes the records of the files `shouldErase` picks.
    void eraseResults(const std::function<bool(const PathKey&)>& shouldErase);

    // Export (app_view_model_export.cpp).
    ExportWorkflowHooks exportHooks();
    void applyExportResult(const ExportWorkflowResult& result);
    void joinExportThread();

    ResolvedAppServices services_;

    ProcessingMode selectedMode_ = ProcessingMode::highlights;
    HighlightFilterMode selectedHighlightFilterMode_ = HighlightFilterMode::onlyBest;
    std::vector<DroppedFileItem> droppedFiles_;
    bool isDropTargeted_ = false;
    bool isProcessing_ = false;
    double progress_ = 0;
    QString statusMessage_ = QStringLiteral("Drop MP4 files to begin");
    std::optional<QString> activeFileName_;
    QStringList highlightSegmentLines_;
    QString highlightSegmentPreviewText_;
    std::set<PathKey> selectedFilePathKeys_;
    double overlayTimeOffsetMilliseconds_ = kDefaultTelemetryAdvanceMilliseconds;
    bool isOverlayTimingDebugHUDEnabled_ = false;
    SpeedUnit speedUnit_ = kDefaultSpeedUnit;
    LapHudElements lapHudElements_;
    VideoShape videoShape_;
    std::optional<ProcessingCompletionSummary> completionSummary_;
    bool isCompletionAlertPresented_ = false;
    QStringList rejectedFileSummaries_;
    bool isRejectionAlertPresented_ = false;
    FileResultsByPath fileResults_;
    RemovalHistory removals_;
    bool isCancellingExport_ = false;
    ExportProgressTracker exportProgress_;
    bool isStopped_ = false;

    WorkQueueState queues_;
    std::uint64_t lastTaskId_ = 0;
    // Background threads post their outcomes here; declared before the threads so it
    // outlives them.
    MainThreadQueue mainThreadQueue_;
    QtExecutor executor_{mainThreadQueue_.poster()};
    std::shared_ptr<ExcludedSegmentsMirror> exclusionsMirror_ =
        std::make_shared<ExcludedSegmentsMirror>();
    BackgroundTasks tasks_;
    // The running export (processingTask); at most one.
    std::jthread exportThread_;
    bool isChoosingExportTarget_ = false;
};

}  // namespace skelder
