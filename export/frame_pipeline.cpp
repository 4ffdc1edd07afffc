#include "export/frame_pipeline.hpp"

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <optional>
#include <thread>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"

namespace skelder {
namespace {

using Clock = std::chrono::steady_clock;

// The one-tick step that keeps presentation times strictly increasing: 1/60000 s.
const media::MediaTime kMinimumStep{1, 60000};

class FrameCoordinator {
  public:
    FrameCoordinator(VideoEncoderInput& writer, FrameRenderers& pool,
                     const FramePipelineSettings& settings, const ProgressCallback& progress,
                     std::stop_token stop)
        : writer_(writer), pool_(pool), settings_(settings), progress_(progress), stop_(stop) {
        available_.resize(static_cast<std::size_t>(pool.size()));
        std::iota(available_.begin(), available_.end(), 0);
    }

    void submit(media::VideoFrame frame) {
        while (available_.empty())
            handle(pool_.awaitNext());
        const std::int64_t index = nextFrameIndex_++;
        if (available_.empty())
            throw ExportError::exportFailed("Failed to acquire render worker");
        const int worker = available_.back();
        available_.pop_back();
        pool_.submit(worker, index, std::move(frame));
        ++inFlight_;
        if (inFlight_ >= pool_.size())
            handle(pool_.awaitNext());
    }

    void drain() {
        while (inFlight_ > 0)
            handle(pool_.awaitNext());
    }

  private:
    void handle(RenderedFrame result) {
        --inFlight_;
        available_.push_back(result.workerIndex);
        if (result.error)
            std::rethrow_exception(result.error);
        pending_.emplace(result.index, std::move(result.frame));
        for (auto next = pending_.find(nextWriteIndex_); next != pending_.end();
             next = pending_.find(nextWriteIndex_)) {
            media::VideoFrame frame = std::move(next->second);
            pending_.erase(next);
            write(std::move(frame));
            ++nextWriteIndex_;
        }
    }

    void waitUntilWriterIsReady() {
        // Each wait ends when the encoder takes a frame, or after a while to look at the
        // stop token and the writer's status again.
        while (!writer_.waitForReadiness(std::chrono::milliseconds(10))) {
            throwIfCancelled(stop_);
            if (writer_.status() == media::WriterStatus::failed) {
                throw ExportError::exportFailed("Writer failed while waiting for video input",
                                                writer_.errorDescription());
            }
            if (writer_.status() == media::WriterStatus::cancelled)
                throw CancellationError();
        }
    }

    void write(media::VideoFrame frame) {
        waitUntilWriterIsReady();
        media::MediaTime time = frame.presentationTime;
        if (lastWritten_ && time <= *lastWritten_)
            time = *lastWritten_ + kMinimumStep;
        if (!writer_.append(std::move(frame), time)) {
            throw ExportError::exportFailed("Failed while appending video",
                                            writer_.errorDescription());
        }
        lastWritten_ = time;
        const Clock::time_point now = Clock::now();
        if (!lastReport_ || std::chrono::duration<double>(now - *lastReport_).count() >=
                                settings_.progressUpdateInterval) {
            lastReport_ = now;
            const double fraction = time.seconds() / settings_.durationSeconds;
            if (progress_)
                progress_(std::clamp(fraction, 0.0, 0.999));
        }
    }

    VideoEncoderInput& writer_;
    FrameRenderers& pool_;
    const FramePipelineSettings& settings_;
    const ProgressCallback& progress_;
    std::stop_token stop_;

    std::vector<int> available_;  // a stack: taken from and returned to the end
    int inFlight_ = 0;
    std::int64_t nextFrameIndex_ = 0;
    std::int64_t nextWriteIndex_ = 0;
    std::map<std::int64_t, media::VideoFrame> pending_;  // finished before their turn
    std::optional<media::MediaTime> lastWritten_;
    std::optional<Clock::time_point> lastReport_;  // none: the first frame always reports
};

}  // namespace

void runFramePipeline(const VideoFrameSource& frames, VideoEncoderInput& encoder,
                      FrameRenderers& renderers, const FramePipelineSettings& settings,
                      const ProgressCallback& progress, std::stop_token stop) {
    FrameCoordinator coordinator(encoder, renderers, settings, progress, stop);
    while (std::optional<media::VideoFrame> frame = frames()) {
        throwIfCancelled(stop);
        coordinator.submit(std::move(*frame));
    }
    coordinator.drain();
}

}  // namespace skelder
