// The background work queues of the model: quick scans, highlight analyses and thumbnails.
// The work runs on threads of `tasks_`; its outcome comes back through `mainThreadQueue_` and
// is applied only when the task that reports is still the one recorded for the file. The work
// owns what it uses, so a task that outlives the model (quitting does not wait long for it)
// ends harmlessly.

#include <QByteArray>
#include <algorithm>
#include <cmath>

#include "app/app_view_model.hpp"
#include "app/file_list.hpp"
#include "core/cancellation.hpp"
#include "export/error_description.hpp"

namespace skelder {
namespace {

// The scan's outcome; nothing when it was cancelled (its report would be stale anyway).
std::optional<QuickScanStatus> runQuickScan(const TelemetryExtractionService& extractor,
                                            const std::filesystem::path& url,
                                            const VideoDurationLoader& loadVideoDuration,
                                            const PictureOrientationLoader& loadOrientation,
                                            std::stop_token stop) {
    if (stop.stop_requested())
        return std::nullopt;
    try {
        QuickTelemetryStats stats = quickStats(extractor, url, loadVideoDuration, stop);
        // Here, off the window's thread, so the preview never opens the file to turn it.
        if (loadOrientation)
            stats.pictureOrientation = loadOrientation(url);
        return QuickScanDone{stats};
    } catch (const CancellationError&) {
        return std::nullopt;
    } catch (const std::exception& error) {
        return QuickScanFailed{errorDescription(error)};
    } catch (...) {
        return QuickScanFailed{"Unknown error"};
    }
}

bool isCurrentTask(const std::map<PathKey, BackgroundTaskRecord>& tasks, const PathKey& pathKey,
                   std::uint64_t taskId) {
    const auto found = tasks.find(pathKey);
    return found != tasks.end() && found->second.id == taskId;
}

void removeAll(std::deque<PathKey>& keys, const PathKey& pathKey) {
    std::erase(keys, pathKey);
}

// Every segment key of the new segments that the user had excluded.
SegmentKeySet prunedExclusions(const SegmentKeySet& excluded,
                               const std::vector<PlannedSegment>& segments) {
    SegmentKeySet kept;
    for (const PlannedSegment& segment : segments) {
        const PlannedSegmentKey key = PlannedSegmentKey::of(segment);
        if (excluded.contains(key))
            kept.insert(key);
    }
    return kept;
}

}  // namespace

// --- Quick scans ----------------------------------------------------------------------------

void AppViewModel::enqueueQuickScans(const std::vector<PathKey>& pathKeys) {
    for (const PathKey& key : pathKeys) {
        auto& pending = queues_.pendingQuickScanPaths;
        if (std::find(pending.begin(), pending.end(), key) == pending.end())
            pending.push_back(key);
    }
    pumpQuickScans();
}

void AppViewModel::pumpQuickScans() {
    if (isStopped_)
        return;
    bool started = false;
    while (queues_.activeQuickScans < maxConcurrentQuickScans &&
           !queues_.pendingQuickScanPaths.empty()) {
        const PathKey key = queues_.pendingQuickScanPaths.front();
        queues_.pendingQuickScanPaths.pop_front();
        DroppedFileItem* item = findFile(key);
        if (item == nullptr || queues_.quickScanTasksByPath.contains(key))
            continue;
        item->quickScanStatus = QuickScanScanning{};
        started = true;
        ++queues_.activeQuickScans;
        const std::uint64_t id = ++lastTaskId_;
        std::stop_source stop = tasks_.start(
            TaskPriority::background,
            [this, poster = mainThreadQueue_.poster(), extractor = services_.telemetryExtractor,
             loadDuration = services_.loadVideoDuration,
             loadOrientation = services_.loadPictureOrientation, url = item->url, key,
             id](std::stop_token stop) {
                std::optional<QuickScanStatus> result =
                    runQuickScan(*extractor, url, loadDuration, loadOrientation, stop);
                if (!result)
                    return;
                poster.post([this, key, id, result = std::move(*result)]() mutable {
                    quickScanFinished(key, id, std::move(result));
                });
            });
        queues_.quickScanTasksByPath[key] = {id, std::move(stop)};
    }
    if (started)
        emit droppedFilesChanged();
}

void AppViewModel::quickScanFinished(const PathKey& pathKey, std::uint64_t taskId,
                                     QuickScanStatus result) {
    // A forgotten scan (file removed, re-analysed or cleared) has lost its slot already; its
    // outcome is stale.
    if (!isCurrentTask(queues_.quickScanTasksByPath, pathKey, taskId))
        return;
    queues_.quickScanTasksByPath.erase(pathKey);
    decrementClamped(queues_.activeQuickScans);

    if (const auto* done = std::get_if<QuickScanDone>(&result)) {
        const std::optional<double> peakSecond = done->stats.peakCombinedGSecond;
        setFileStatus(pathKey, std::move(result));
        requestThumbnail(pathKey, peakSecond);
        enqueueHighlightPreview(pathKey);
    } else if (const auto* failed = std::get_if<QuickScanFailed>(&result)) {
        if (const DroppedFileItem* item = file(pathKey)) {
            QStringList lines = rejectedFileSummaries_;
            lines.append(QString::fromStdString(rejectionLine(item->url, failed->description)));
            setRejectedFileSummaries(std::move(lines));
        }
        setFileStatus(pathKey, std::move(result));
        std::set<PathKey> selection = selectedFilePathKeys_;
        selection.erase(pathKey);
        setSelection(std::move(selection));
    }

    refreshStatusLine();
    pumpQuickScans();
    if (queues_.activeQuickScans == 0 && queues_.pendingQuickScanPaths.empty() &&
        !rejectedFileSummaries_.isEmpty())
        setRejectionAlertPresented(true);
}

// --- Highlight analyses ---------------------------------------------------------------------

void AppViewModel::enqueueHighlightPreview(const PathKey& pathKey) {
    const DroppedFileItem* item = file(pathKey);
    if (item != nullptr) {
        // A failed analysis is tried again only for a changed file.
        const auto failure = highlightAnalysisFailureByPath_.find(pathKey);
        if (failure != highlightAnalysisFailureByPath_.end()) {
            if (failure->second.stamp == fileStamp(item->url))
                return;
            setAnalysisFailure(pathKey, std::nullopt);
        }
    }
    auto& pending = queues_.pendingHighlightPreviewPaths;
    if (isStopped_ || highlightPreviewSegmentsByPath_.contains(pathKey) ||
        queues_.highlightPreviewTasksByPath.contains(pathKey) ||
        std::find(pending.begin(), pending.end(), pathKey) != pending.end() || item == nullptr ||
        !isScanDone(*item))
        return;
    pending.push_back(pathKey);
    pumpHighlightPreviews();
}

void AppViewModel::retryHighlightAnalysis(const PathKey& pathKey) {
    setAnalysisFailure(pathKey, std::nullopt);
    enqueueHighlightPreview(pathKey);
}

void AppViewModel::pumpHighlightPreviews() {
    if (isStopped_)
        return;
    while (queues_.activeHighlightPreviews < maxConcurrentHighlightPreviews &&
           !queues_.pendingHighlightPreviewPaths.empty()) {
        const PathKey key = queues_.pendingHighlightPreviewPaths.front();
        queues_.pendingHighlightPreviewPaths.pop_front();
        const DroppedFileItem* item = file(key);
        if (highlightPreviewSegmentsByPath_.contains(key) ||
            highlightAnalysisFailureByPath_.contains(key) || item == nullptr || !isScanDone(*item))
            continue;
        ++queues_.activeHighlightPreviews;
        const std::uint64_t id = ++lastTaskId_;
        const std::int64_t generation = queues_.highlightPreviewGeneration;
        // The analysis itself runs on the provider's utility thread; this one waits for it
        // and ends at once when cancelled.
        std::stop_source stop = tasks_.start(
            TaskPriority::normal,
            [this, poster = mainThreadQueue_.poster(),
             provider = services_.telemetrySessionProvider, url = item->url,
             mode = selectedHighlightFilterMode_, key, id, generation](std::stop_token stop) {
                HighlightOutcome outcome;
                try {
                    outcome.session = provider->loadTieredSession(url, mode, stop);
                } catch (const CancellationError&) {
                    outcome.cancelled = true;
                } catch (const std::exception& error) {
                    outcome.failure = errorDescription(error);
                } catch (...) {
                    outcome.failure = "Unknown error";
                }
                poster.post([this, key, id, generation, outcome = std::move(outcome)]() mutable {
                    highlightPreviewFinished(key, id, generation, std::move(outcome));
                });
            });
        queues_.highlightPreviewTasksByPath[key] = {id, std::move(stop)};
    }
}

void AppViewModel::highlightPreviewFinished(const PathKey& pathKey, std::uint64_t taskId,
                                            std::int64_t generation, HighlightOutcome outcome) {
    // A reset or a forget has released this analysis's slot already.
    if (!isCurrentTask(queues_.highlightPreviewTasksByPath, pathKey, taskId))
        return;
    const bool cancelled =
        outcome.cancelled || queues_.highlightPreviewTasksByPath[pathKey].stop.stop_requested();
    queues_.highlightPreviewTasksByPath.erase(pathKey);
    decrementClamped(queues_.activeHighlightPreviews);

    const DroppedFileItem* item = file(pathKey);
    const bool current =
        !cancelled && generation == queues_.highlightPreviewGeneration && item != nullptr;
    if (current && outcome.failure) {
        // The file keeps its scan status; the detail pane shows the message and offers Retry.
        setAnalysisFailure(pathKey,
                           HighlightAnalysisFailure{*outcome.failure, fileStamp(item->url)});
    } else if (current && outcome.session) {
        const TelemetrySession& session = outcome.session->session;
        highlightPreviewSegmentsByPath_[pathKey] = session.highlightSegments;
        emit highlightPreviewSegmentsByPathChanged();
        highlightTierByPath_[pathKey] = std::move(outcome.session->tiers);
        emit highlightTierByPathChanged();

        ExcludedSegmentsByPath excluded = excludedHighlightSegmentsByPath_;
        if (const auto found = excluded.find(pathKey); found != excluded.end()) {
            SegmentKeySet kept = prunedExclusions(found->second, session.highlightSegments);
            if (kept.empty())
                excluded.erase(found);
            else
                found->second = std::move(kept);
        }
        setExclusions(std::move(excluded));
    }
    pumpHighlightPreviews();
}

void AppViewModel::resetHighlightPreviews() {
    ++queues_.highlightPreviewGeneration;
    for (auto& [key, record] : queues_.highlightPreviewTasksByPath)
        record.stop.request_stop();
    queues_.pendingHighlightPreviewPaths.clear();
    queues_.activeHighlightPreviews = 0;
    queues_.highlightPreviewTasksByPath.clear();

    if (!highlightPreviewSegmentsByPath_.empty()) {
        highlightPreviewSegmentsByPath_.clear();
        emit highlightPreviewSegmentsByPathChanged();
    }
    if (!highlightTierByPath_.empty()) {
        highlightTierByPath_.clear();
        emit highlightTierByPathChanged();
    }
    setExclusions({});
    // Another filter is another analysis: failures of the old one say nothing of it.
    if (!highlightAnalysisFailureByPath_.empty()) {
        highlightAnalysisFailureByPath_.clear();
        emit highlightAnalysisFailureByPathChanged();
    }
}

// --- Thumbnails -----------------------------------------------------------------------------

void AppViewModel::requestThumbnail(const PathKey& pathKey, std::optional<double> preferredSecond) {
    const DroppedFileItem* item = file(pathKey);
    if (isStopped_ || thumbnailByPath_.contains(pathKey) ||
        queues_.thumbnailTasksByPath.contains(pathKey) || item == nullptr || !isScanDone(*item))
        return;
    double seconds = 0;
    if (preferredSecond) {
        seconds = *preferredSecond;
    } else {
        const auto& stats = std::get<QuickScanDone>(item->quickScanStatus).stats;
        if (stats.durationSeconds && *stats.durationSeconds >= 0)
            seconds = *stats.durationSeconds / 4;
    }
    if (!std::isfinite(seconds))
        seconds = 0;
    seconds = std::max(seconds, 0.0);

    const std::uint64_t id = ++lastTaskId_;
    std::stop_source stop =
        tasks_.start(TaskPriority::utility,
                     [this, poster = mainThreadQueue_.poster(), load = services_.thumbnailJPEG,
                      url = item->url, seconds, pathKey, id](std::stop_token stop) {
                         if (stop.stop_requested())
                             return;
                         std::optional<std::vector<std::uint8_t>> jpeg;
                         try {
                             jpeg = load(url, seconds);
                         } catch (...) {
                             // No picture; the list shows its placeholder.
                         }
                         poster.post([this, pathKey, id, jpeg = std::move(jpeg)]() mutable {
                             thumbnailFinished(pathKey, id, std::move(jpeg));
                         });
                     });
    queues_.thumbnailTasksByPath[pathKey] = {id, std::move(stop)};
}

void AppViewModel::thumbnailFinished(const PathKey& pathKey, std::uint64_t taskId,
                                     std::optional<std::vector<std::uint8_t>> jpegData) {
    if (!isCurrentTask(queues_.thumbnailTasksByPath, pathKey, taskId))
        return;
    queues_.thumbnailTasksByPath.erase(pathKey);
    if (!jpegData || !isListed(pathKey))
        return;
    QImage picture;
    const QByteArray bytes(reinterpret_cast<const char*>(jpegData->data()),
                           static_cast<qsizetype>(jpegData->size()));
    if (!picture.loadFromData(bytes, "JPEG"))
        return;
    thumbnailByPath_[pathKey] = std::move(picture);
    emit thumbnailByPathChanged();
}

// --- Forgetting -----------------------------------------------------------------------------

bool AppViewModel::forgetFile(const PathKey& pathKey) {
    bool freedSlot = false;
    if (auto found = queues_.quickScanTasksByPath.find(pathKey);
        found != queues_.quickScanTasksByPath.end()) {
        found->second.stop.request_stop();
        queues_.quickScanTasksByPath.erase(found);
        decrementClamped(queues_.activeQuickScans);
        freedSlot = true;
    }
    if (auto found = queues_.highlightPreviewTasksByPath.find(pathKey);
        found != queues_.highlightPreviewTasksByPath.end()) {
        found->second.stop.request_stop();
        queues_.highlightPreviewTasksByPath.erase(found);
        decrementClamped(queues_.activeHighlightPreviews);
        freedSlot = true;
    }
    if (auto found = queues_.thumbnailTasksByPath.find(pathKey);
        found != queues_.thumbnailTasksByPath.end()) {
        found->second.stop.request_stop();
        queues_.thumbnailTasksByPath.erase(found);
    }
    removeAll(queues_.pendingQuickScanPaths, pathKey);
    removeAll(queues_.pendingHighlightPreviewPaths, pathKey);
    eraseResults([&](const PathKey& key) { return key == pathKey; });
    return freedSlot;
}

void AppViewModel::cancelAllWork() {
    for (auto* tasks : {&queues_.quickScanTasksByPath, &queues_.highlightPreviewTasksByPath,
                        &queues_.thumbnailTasksByPath}) {
        for (auto& [key, record] : *tasks)
            record.stop.request_stop();
        tasks->clear();
    }
    queues_.activeQuickScans = 0;
    queues_.activeHighlightPreviews = 0;
    queues_.pendingQuickScanPaths.clear();
    queues_.pendingHighlightPreviewPaths.clear();
}

void AppViewModel::eraseResults(const std::function<bool(const PathKey&)>& shouldErase) {
    if (std::erase_if(highlightPreviewSegmentsByPath_,
                      [&](const auto& entry) { return shouldErase(entry.first); }) > 0)
        emit highlightPreviewSegmentsByPathChanged();
    if (std::erase_if(highlightTierByPath_,
                      [&](const auto& entry) { return shouldErase(entry.first); }) > 0)
        emit highlightTierByPathChanged();
    if (std::erase_if(thumbnailByPath_,
                      [&](const auto& entry) { return shouldErase(entry.first); }) > 0)
        emit thumbnailByPathChanged();
    ExcludedSegmentsByPath excluded = excludedHighlightSegmentsByPath_;
    std::erase_if(excluded, [&](const auto& entry) { return shouldErase(entry.first); });
    setExclusions(std::move(excluded));
    if (std::erase_if(highlightAnalysisFailureByPath_,
                      [&](const auto& entry) { return shouldErase(entry.first); }) > 0)
        emit highlightAnalysisFailureByPathChanged();
}

}  // namespace skelder

namespace skelder {

void AppViewModel::stopAllWork() {
    isStopped_ = true;
    cancelAllWork();
    cancelExport();
}

}  // namespace skelder
