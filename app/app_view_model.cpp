#include "app/app_view_model.hpp"

#include <QSettings>
#include <algorithm>
#include <unordered_set>

#include "app/app_settings.hpp"
#include "app/file_list.hpp"
#include "core/path_key.hpp"
#include "export/file_discovery.hpp"

namespace skelder {

AppViewModel::AppViewModel(AppServices services, QObject* parent)
    : QObject(parent), services_(resolveAppServices(std::move(services))) {
    overlayTimeOffsetMilliseconds_ = readOverlayTimeOffsetMilliseconds(*services_.settings);
    isOverlayTimingDebugHUDEnabled_ = readOverlayTimingDebugHUDEnabled(*services_.settings);
    speedUnit_ = readSpeedUnit(*services_.settings);
    lapHudElements_ = readLapHudElements(*services_.settings);
    videoShape_ = readVideoShape(*services_.settings);
}

AppViewModel::~AppViewModel() {
    // What the threads report from now on is dropped.
    mainThreadQueue_.close();
    // The export removes its partial file before it ends: wait for it. The other tasks get a
    // moment to notice their stop; the ones that do not end on their own.
    exportThread_ = {};
    tasks_.shutdown();
}

// --- Properties -----------------------------------------------------------------------------

void AppViewModel::setSelectedMode(ProcessingMode mode) {
    if (selectedMode_ == mode)
        return;
    selectedMode_ = mode;
    emit selectedModeChanged();
}

void AppViewModel::setSelectedHighlightFilterMode(HighlightFilterMode mode) {
    if (selectedHighlightFilterMode_ == mode)
        return;
    selectedHighlightFilterMode_ = mode;
    emit selectedHighlightFilterModeChanged();
}

void AppViewModel::setDropTargeted(bool targeted) {
    if (isDropTargeted_ == targeted)
        return;
    isDropTargeted_ = targeted;
    emit isDropTargetedChanged();
}

void AppViewModel::setOverlayTimeOffsetMilliseconds(double milliseconds) {
    writeOverlayTimeOffsetMilliseconds(*services_.settings, milliseconds);
    if (overlayTimeOffsetMilliseconds_ == milliseconds)
        return;
    overlayTimeOffsetMilliseconds_ = milliseconds;
    emit overlayTimeOffsetMillisecondsChanged();
}

void AppViewModel::setOverlayTimingDebugHUDEnabled(bool enabled) {
    writeOverlayTimingDebugHUDEnabled(*services_.settings, enabled);
    if (isOverlayTimingDebugHUDEnabled_ == enabled)
        return;
    isOverlayTimingDebugHUDEnabled_ = enabled;
    emit isOverlayTimingDebugHUDEnabledChanged();
}

void AppViewModel::setSpeedUnit(SpeedUnit unit) {
    writeSpeedUnit(*services_.settings, unit);
    if (speedUnit_ == unit)
        return;
    speedUnit_ = unit;
    emit speedUnitChanged();
}

void AppViewModel::setLapHudElements(const LapHudElements& elements) {
    writeLapHudElements(*services_.settings, elements);
    if (lapHudElements_ == elements)
        return;
    lapHudElements_ = elements;
    emit lapHudElementsChanged();
}

void AppViewModel::setVideoShape(const VideoShape& shape) {
    writeVideoShape(*services_.settings, shape);
    if (videoShape_ == shape)
        return;
    videoShape_ = shape;
    emit videoShapeChanged();
}

void AppViewModel::setStatusMessage(const QString& text) {
    if (statusMessage_ == text)
        return;
    statusMessage_ = text;
    emit statusMessageChanged();
}

void AppViewModel::setProgress(double fraction) {
    if (progress_ == fraction)
        return;
    progress_ = fraction;
    emit progressChanged();
}

void AppViewModel::setActiveFileName(const std::optional<QString>& name) {
    if (activeFileName_ == name)
        return;
    activeFileName_ = name;
    emit activeFileNameChanged();
}

void AppViewModel::setHighlightPreview(const QStringList& lines, const QString& text) {
    if (highlightSegmentLines_ != lines) {
        highlightSegmentLines_ = lines;
        emit highlightSegmentLinesChanged();
    }
    if (highlightSegmentPreviewText_ != text) {
        highlightSegmentPreviewText_ = text;
        emit highlightSegmentPreviewTextChanged();
    }
}

void AppViewModel::setProcessing(bool processing) {
    if (isProcessing_ == processing)
        return;
    isProcessing_ = processing;
    emit isProcessingChanged();
}

void AppViewModel::setCompletion(std::optional<ProcessingCompletionSummary> summary,
                                 bool presented) {
    if (completionSummary_ != summary) {
        completionSummary_ = std::move(summary);
        emit completionSummaryChanged();
    }
    if (isCompletionAlertPresented_ != presented) {
        isCompletionAlertPresented_ = presented;
        emit isCompletionAlertPresentedChanged();
    }
}

void AppViewModel::setRejectionAlertPresented(bool presented) {
    if (isRejectionAlertPresented_ == presented)
        return;
    isRejectionAlertPresented_ = presented;
    emit isRejectionAlertPresentedChanged();
}

void AppViewModel::setSelection(std::set<PathKey> keys) {
    if (selectedFilePathKeys_ == keys)
        return;
    selectedFilePathKeys_ = std::move(keys);
    emit selectedFilePathKeysChanged();
}

void AppViewModel::changeResults(const PathKey& pathKey,
                                 const std::function<bool(FileResults&)>& change) {
    const auto found = fileResults_.try_emplace(pathKey).first;
    const bool changed = change(found->second);
    if (found->second.empty())
        fileResults_.erase(found);
    if (changed)
        resultsChanged();
}

void AppViewModel::changeAllResults(const std::function<bool(FileResults&)>& change) {
    bool changed = false;
    for (auto& [key, results] : fileResults_)
        changed = change(results) || changed;
    std::erase_if(fileResults_, [](const auto& entry) { return entry.second.empty(); });
    if (changed)
        resultsChanged();
}

void AppViewModel::resultsChanged() {
    // A running reel reads the exclusions from the mirror: it holds what the records hold.
    ExcludedSegmentsByPath excluded;
    for (const auto& [key, results] : fileResults_) {
        if (results.exclusions)
            excluded.emplace(key, *results.exclusions);
    }
    exclusionsMirror_->publish(excluded);
    emit fileResultsChanged();
}

void AppViewModel::setFileStatus(const PathKey& pathKey, QuickScanStatus status) {
    if (DroppedFileItem* item = findFile(pathKey)) {
        item->quickScanStatus = std::move(status);
        emit droppedFilesChanged();
    }
}

void AppViewModel::setCancellingExport(bool cancelling) {
    if (isCancellingExport_ == cancelling)
        return;
    isCancellingExport_ = cancelling;
    emit isCancellingExportChanged();
}

void AppViewModel::setRejectedFileSummaries(QStringList lines) {
    if (rejectedFileSummaries_ == lines)
        return;
    rejectedFileSummaries_ = std::move(lines);
    emit rejectedFileSummariesChanged();
}

void AppViewModel::setAnalysisFailure(const PathKey& pathKey,
                                      std::optional<HighlightAnalysisFailure> failure) {
    changeResults(pathKey, [&](FileResults& results) {
        if (results.analysisFailure == failure)
            return false;
        results.analysisFailure = std::move(failure);
        return true;
    });
}

// --- Lookups and derived values -------------------------------------------------------------

DroppedFileItem* AppViewModel::findFile(const PathKey& pathKey) {
    const auto found =
        std::find_if(droppedFiles_.begin(), droppedFiles_.end(),
                     [&](const DroppedFileItem& item) { return listedKey(item) == pathKey; });
    return found == droppedFiles_.end() ? nullptr : &*found;
}

const DroppedFileItem* AppViewModel::file(const PathKey& pathKey) const {
    return const_cast<AppViewModel*>(this)->findFile(pathKey);
}

bool AppViewModel::isListed(const PathKey& pathKey) const {
    return file(pathKey) != nullptr;
}

const FileResults* AppViewModel::results(const PathKey& pathKey) const {
    const auto found = fileResults_.find(pathKey);
    return found == fileResults_.end() ? nullptr : &found->second;
}

const std::vector<PlannedSegment>* AppViewModel::highlightSegments(const PathKey& pathKey) const {
    const FileResults* found = results(pathKey);
    return found && found->segments ? &*found->segments : nullptr;
}

const FileLaps* AppViewModel::laps(const PathKey& pathKey) const {
    const FileResults* found = results(pathKey);
    return found && found->laps ? &*found->laps : nullptr;
}

std::optional<double> AppViewModel::startFinishLineSeconds(const PathKey& pathKey) const {
    return readStartFinishLineSeconds(*services_.settings, pathKey);
}

int AppViewModel::selectedCount() const {
    return static_cast<int>(
        std::count_if(droppedFiles_.begin(), droppedFiles_.end(), [&](const DroppedFileItem& item) {
            return selectedFilePathKeys_.contains(listedKey(item)) && !isScanFailed(item);
        }));
}

std::vector<std::filesystem::path> AppViewModel::selectedExportURLs() const {
    std::vector<std::filesystem::path> urls;
    for (const DroppedFileItem& item : droppedFiles_) {
        if (selectedFilePathKeys_.contains(listedKey(item)) && !isScanFailed(item))
            urls.push_back(item.url);
    }
    return urls;
}

int AppViewModel::eligibleCount() const {
    return static_cast<int>(std::count_if(droppedFiles_.begin(), droppedFiles_.end(),
                                          [](const auto& item) { return !isScanFailed(item); }));
}

ExportSelectionState AppViewModel::exportSelectionState() const {
    const int selected = selectedCount();
    const int eligible = eligibleCount();
    if (selected == 0 || eligible == 0)
        return ExportSelectionState::none;
    return selected < eligible ? ExportSelectionState::some : ExportSelectionState::all;
}

std::vector<const DroppedFileItem*> AppViewModel::skippedFiles() const {
    std::vector<const DroppedFileItem*> skipped;
    for (const DroppedFileItem& item : droppedFiles_) {
        if (isScanFailed(item))
            skipped.push_back(&item);
    }
    return skipped;
}

HighlightTier AppViewModel::tier(const PathKey& pathKey, const PlannedSegmentKey& segment) const {
    const FileResults* stored = results(pathKey);
    if (stored == nullptr)
        return HighlightTier::best;
    const auto found = stored->tiers.find(segment);
    return found == stored->tiers.end() ? HighlightTier::best : found->second;
}

bool AppViewModel::isSegmentIncluded(const PathKey& pathKey,
                                     const PlannedSegmentKey& segment) const {
    const FileResults* stored = results(pathKey);
    return stored == nullptr || !stored->exclusions || !stored->exclusions->contains(segment);
}

QImage AppViewModel::thumbnail(const PathKey& pathKey) const {
    const FileResults* stored = results(pathKey);
    return stored == nullptr ? QImage() : stored->thumbnail;
}

std::optional<PathKey> AppViewModel::primaryFilePathKey(
    const std::set<PathKey>& tableSelection) const {
    // A skipped file has nothing to show: no picture, no timeline.
    for (const std::set<PathKey>* keys : {&tableSelection, &selectedFilePathKeys_}) {
        for (const DroppedFileItem& item : droppedFiles_) {
            if (keys->contains(listedKey(item)) && !isScanFailed(item))
                return listedKey(item);
        }
    }
    return std::nullopt;
}

std::optional<double> AppViewModel::timelineDurationSeconds(const PathKey& pathKey) const {
    const DroppedFileItem* item = file(pathKey);
    const std::vector<PlannedSegment>* stored = highlightSegments(pathKey);
    if (item == nullptr || stored == nullptr || stored->empty())
        return std::nullopt;
    double scanned = 0;
    if (const auto* done = std::get_if<QuickScanDone>(&item->quickScanStatus))
        scanned = done->stats.durationSeconds.value_or(0.0);
    std::int64_t lastEnd = 0;
    for (const PlannedSegment& segment : *stored)
        lastEnd = std::max(lastEnd, segment.endSecond);
    const double duration =
        lastEnd >= 2 ? std::max(scanned, static_cast<double>(lastEnd)) : scanned;
    return std::max(duration, 1.0);
}

bool AppViewModel::isHighlightAnalysisInProgress(const PathKey& pathKey) const {
    const DroppedFileItem* item = file(pathKey);
    if (item == nullptr || isScanFailed(*item))
        return false;
    if (isScanUnfinished(*item))
        return true;
    const FileResults* stored = results(pathKey);
    return stored == nullptr || (!stored->segments && !stored->analysisFailure);
}

std::optional<QString> AppViewModel::highlightAnalysisFailure(const PathKey& pathKey) const {
    const FileResults* stored = results(pathKey);
    if (stored == nullptr || !stored->analysisFailure)
        return std::nullopt;
    return QString::fromStdString(stored->analysisFailure->message);
}

bool AppViewModel::isLapAnalysisInProgress(const PathKey& pathKey) const {
    const DroppedFileItem* item = file(pathKey);
    if (item == nullptr || isScanFailed(*item))
        return false;
    if (hasQueuedLapAnalysis(pathKey))
        return true;
    const FileResults* stored = results(pathKey);
    if (stored != nullptr && stored->analysisFailure)
        return false;
    return stored == nullptr || !stored->laps;
}

// --- File list actions ----------------------------------------------------------------------

void AppViewModel::addFiles(const std::vector<std::filesystem::path>& urls) {
    const std::vector<std::filesystem::path> candidates = collectMP4Items(urls);
    if (candidates.empty()) {
        setStatusMessage(QStringLiteral("No MP4 files found in drop"));
        return;
    }
    std::set<PathKey> listed;
    for (const DroppedFileItem& item : droppedFiles_)
        listed.insert(listedKey(item));
    std::vector<PathKey> added;
    for (const std::filesystem::path& candidate : candidates) {
        const PathKey key = pathKey(candidate);
        if (!listed.insert(key).second)
            continue;
        droppedFiles_.push_back({std::filesystem::path(key), QuickScanPending{}});
        added.push_back(key);
    }
    if (!added.empty()) {
        sortByFileName(droppedFiles_);
        emit droppedFilesChanged();
    }

    std::set<PathKey> selection = selectedFilePathKeys_;
    if (selection.empty()) {
        for (const DroppedFileItem& item : droppedFiles_) {
            if (!isScanFailed(item))
                selection.insert(listedKey(item));
        }
    } else {
        selection.insert(added.begin(), added.end());
    }
    setSelection(std::move(selection));

    enqueueQuickScans(added);
    refreshStatusLine();
}

void AppViewModel::openFiles() {
    if (auto chosen = services_.filePanelService->chooseInputFiles())
        addFiles(*chosen);
}

void AppViewModel::toggleSelection(const PathKey& pathKey) {
    const DroppedFileItem* item = file(pathKey);
    if (item != nullptr && isScanFailed(*item))
        return;
    std::set<PathKey> selection = selectedFilePathKeys_;
    if (!selection.erase(pathKey))
        selection.insert(pathKey);
    setSelection(std::move(selection));
    refreshStatusLine();
}

void AppViewModel::setAllSelected(bool selected) {
    std::set<PathKey> selection;
    if (selected) {
        for (const DroppedFileItem& item : droppedFiles_) {
            if (!isScanFailed(item))
                selection.insert(listedKey(item));
        }
    }
    setSelection(std::move(selection));
    refreshStatusLine();
}

void AppViewModel::removeFile(const PathKey& pathKey) {
    removeListed({pathKey}, false);
}

void AppViewModel::removeFiles(const std::vector<PathKey>& pathKeys) {
    removeListed({pathKeys.begin(), pathKeys.end()}, false);
}

void AppViewModel::removeSelectedFiles() {
    removeListed(selectedFilePathKeys_, false);
}

void AppViewModel::removeSkippedFiles() {
    std::set<PathKey> skipped;
    for (const DroppedFileItem* item : skippedFiles())
        skipped.insert(listedKey(*item));
    removeListed(skipped, false);
}

RemovedFile AppViewModel::snapshotOf(const DroppedFileItem& item) const {
    const PathKey key = listedKey(item);
    RemovedFile removed;
    removed.item = item;
    // Unfinished work starts again when the file comes back.
    if (isScanUnfinished(item))
        removed.item.quickScanStatus = QuickScanPending{};
    removed.selected = selectedFilePathKeys_.contains(key);
    if (const FileResults* stored = results(key))
        removed.results = *stored;
    return removed;
}

void AppViewModel::removeListed(const std::set<PathKey>& pathKeys, bool cleared) {
    // An export's inputs stay listed while it runs.
    if (isProcessing_)
        return;
    std::vector<RemovedFile> removed;
    for (const DroppedFileItem& item : droppedFiles_) {
        if (pathKeys.contains(listedKey(item)))
            removed.push_back(snapshotOf(item));
    }
    if (removed.empty())
        return;
    for (const RemovedFile& file : removed)
        forgetFile(listedKey(file.item));
    std::erase_if(droppedFiles_,
                  [&](const DroppedFileItem& item) { return pathKeys.contains(listedKey(item)); });
    emit droppedFilesChanged();
    std::set<PathKey> selection = selectedFilePathKeys_;
    for (const RemovedFile& file : removed)
        selection.erase(listedKey(file.item));
    setSelection(std::move(selection));
    removals_.push({removalSummary(removed, cleared), std::move(removed)});
    emit removalsChanged();
    refreshStatusLine();
    // The files' slots are free again.
    pumpQuickScans();
    pumpHighlightPreviews();
    pumpLapAnalyses();
}

void AppViewModel::undo() {
    if (isStopped_)
        return;
    std::optional<RemovalRecord> record = removals_.pop();
    if (!record)
        return;
    emit removalsChanged();

    // Everything goes back first; observers hear of it once, with the list sorted.
    std::vector<PathKey> restored;
    std::set<PathKey> selection = selectedFilePathKeys_;
    bool results = false;
    for (RemovedFile& removed : record->files) {
        const PathKey key = listedKey(removed.item);
        if (isListed(key))
            continue;  // added again meanwhile: the new entry stays
        if (removed.selected && !isScanFailed(removed.item))
            selection.insert(key);
        droppedFiles_.push_back(std::move(removed.item));
        if (!removed.results.empty()) {
            fileResults_[key] = std::move(removed.results);
            results = true;
        }
        restored.push_back(key);
    }
    if (restored.empty())
        return;
    sortByFileName(droppedFiles_);
    emit droppedFilesChanged();
    setSelection(std::move(selection));
    if (results)
        resultsChanged();

    // What was unfinished starts again.
    std::vector<PathKey> rescans;
    for (const PathKey& key : restored) {
        const DroppedFileItem* item = file(key);
        if (std::holds_alternative<QuickScanPending>(item->quickScanStatus)) {
            rescans.push_back(key);
        } else if (const auto* done = std::get_if<QuickScanDone>(&item->quickScanStatus)) {
            requestThumbnail(key, done->stats.peakCombinedGSecond);
            enqueueHighlightPreview(key);
            enqueueLapAnalysis(key);
        }
    }
    enqueueQuickScans(rescans);
    refreshStatusLine();
}

void AppViewModel::reanalyzeFile(const PathKey& pathKey) {
    const DroppedFileItem* item = file(pathKey);
    if (isProcessing_ || item == nullptr)
        return;
    // A skipped file left the selection by itself, not by the user's choice.
    const bool wasSkipped = isScanFailed(*item);
    forgetFile(pathKey);
    setFileStatus(pathKey, QuickScanPending{});
    if (wasSkipped) {
        std::set<PathKey> selection = selectedFilePathKeys_;
        selection.insert(pathKey);
        setSelection(std::move(selection));
    }
    enqueueQuickScans({pathKey});
    refreshStatusLine();
    pumpHighlightPreviews();
    pumpLapAnalyses();
}

void AppViewModel::retrySkippedFiles() {
    for (const DroppedFileItem* item : skippedFiles())
        reanalyzeFile(listedKey(*item));
}

void AppViewModel::clearAll() {
    if (isProcessing_)
        return;
    std::vector<RemovedFile> removed;
    for (const DroppedFileItem& item : droppedFiles_)
        removed.push_back(snapshotOf(item));
    cancelAllWork();
    if (!droppedFiles_.empty()) {
        droppedFiles_.clear();
        emit droppedFilesChanged();
    }
    setSelection({});
    eraseResults([](const PathKey&) { return true; });
    setProgress(0);
    setActiveFileName(std::nullopt);
    setHighlightPreview({}, {});
    setCompletion(std::nullopt, false);
    setRejectedFileSummaries({});
    setRejectionAlertPresented(false);
    setStatusMessage(QStringLiteral("Drop MP4 files to begin"));
    if (!removed.empty()) {
        removals_.push({removalSummary(removed, true), std::move(removed)});
        emit removalsChanged();
    }
}

void AppViewModel::toggleHighlightSegmentInclusion(const PathKey& pathKey,
                                                   const PlannedSegmentKey& segmentKey) {
    changeResults(pathKey, [&](FileResults& results) {
        if (!results.exclusions)
            results.exclusions.emplace();
        SegmentKeySet& keys = *results.exclusions;
        if (!keys.erase(segmentKey))
            keys.insert(segmentKey);
        return true;
    });
}

void AppViewModel::dismissCompletion() {
    setCompletion(std::nullopt, false);
}

void AppViewModel::dismissRejections() {
    setRejectionAlertPresented(false);
    setRejectedFileSummaries({});
}

void AppViewModel::showSkippedFiles() {
    QStringList lines;
    for (const DroppedFileItem* item : skippedFiles()) {
        lines.append(QString::fromStdString(rejectionLine(
            item->url, std::get<QuickScanFailed>(item->quickScanStatus).description)));
    }
    if (lines.isEmpty())
        return;
    setRejectedFileSummaries(std::move(lines));
    setRejectionAlertPresented(true);
}

void AppViewModel::refreshStatusLine() {
    // Hashed: this runs on every change, with lists of a thousand files.
    std::unordered_set<PathKey> listed;
    listed.reserve(droppedFiles_.size());
    for (const DroppedFileItem& item : droppedFiles_)
        listed.insert(listedKey(item));
    const auto unlisted = [&](const PathKey& key) { return !listed.contains(key); };

    std::set<PathKey> selection = selectedFilePathKeys_;
    std::erase_if(selection, unlisted);
    setSelection(std::move(selection));
    eraseResults(unlisted);

    std::set<PathKey> stale;
    for (const auto* tasks : {&queues_.quickScanTasksByPath, &queues_.highlightPreviewTasksByPath,
                              &queues_.thumbnailTasksByPath, &queues_.lapAnalysisTasksByPath}) {
        for (const auto& [key, record] : *tasks) {
            if (unlisted(key))
                stale.insert(key);
        }
    }
    for (const auto* pending :
         {&queues_.pendingQuickScanPaths, &queues_.pendingHighlightPreviewPaths,
          &queues_.pendingLapAnalysisPaths}) {
        for (const PathKey& key : *pending) {
            if (unlisted(key))
                stale.insert(key);
        }
    }
    bool freedSlots = false;
    for (const PathKey& key : stale)
        freedSlots = forgetFile(key) || freedSlots;

    setStatusMessage(QString::fromStdString(
        fileListStatusLine(droppedFiles_, static_cast<std::size_t>(selectedCount()))));
    if (freedSlots) {
        pumpQuickScans();
        pumpHighlightPreviews();
        pumpLapAnalyses();
    }
}

}  // namespace skelder
