#include "export/render_workers.hpp"

#include <algorithm>

#include "media/square_runs.hpp"

namespace skelder {

OverlayRenderSharedState::OverlayRenderSharedState(const OverlayExportJob& job, int renderWidth,
                                                   int renderHeight, PictureOrientation orientation,
                                                   HudSignal signal)
    : timelineSegments(job.timelineSegments),
      sampleSources(job.sampleSources),
      sampleSourceLabels(job.sampleSourceLabels),
      overlayOptions(job.overlayOptions),
      sampleSourceOffsetSeconds(job.sampleSourceOffsetSeconds),
      lapClocks(job.lapClocks),
      staticHUD(
          OverlayRenderer::makeStaticHUD(orientation.isQuarterTurn() ? renderHeight : renderWidth,
                                         orientation.isQuarterTurn() ? renderWidth : renderHeight,
                                         job.overlayOptions.speedUnit, signal)),
      displayRotation(orientation.clockwiseDegrees),
      displayMirrored(orientation.mirrored),
      staticLayerPictures(orientation == PictureOrientation{}
                              ? std::make_shared<StaticLayerPictures>(staticHUD)
                              : nullptr),
      hudSignal(signal) {
    for (const DecisecondGrid& source : sampleSources) {
        sampleBoundsBySource.push_back(makeSampleBounds(source));
    }
}

void renderFrame(const OverlayRenderSharedState& shared, OverlayRenderContext& context,
                 media::VideoFrame& frame) {
    const double outputSeconds = std::max(frame.presentationTime.seconds(), 0.0);
    const auto content = overlayFrameAt(shared.timelineView(), outputSeconds);
    if (!content)
        return;  // written without HUD
    BgraFrame target{nullptr,        frame.width(),          frame.height(),
                     frame.stride(), shared.displayRotation, shared.displayMirrored};
    context.setSignal(shared.hudSignal);
    const StaticHUD* layer = OverlayRenderer::staticLayerFor(
        shared.staticHUD.get(), target.displayedWidth(), target.displayedHeight());
    const SpeedUnit unit = shared.overlayOptions.speedUnit;
    // The encoder converts only the marked boxes back; the rest of the picture goes out as
    // decoded.
    const auto markModified = [&frame](const std::vector<PixelBox>& boxes) {
        for (const PixelBox& box : boxes)
            frame.markModified({box.left, box.top, box.right, box.bottom});
    };
    if (frame.hasDeferredPixels()) {
        // Only the pixels under the HUD are made; they alone are drawn on and converted back.
        // Where nothing is drawn over the static layer, the layer goes straight onto the
        // decoded picture when the frame alone holds it, and those pixels are not made at all.
        AVFrame* picture = frame.ownSourcePicture();
        const media::Yuv420Layer* pictureLayer =
            picture != nullptr && layer != nullptr && shared.staticLayerPictures != nullptr
                ? shared.staticLayerPictures->forPicture(*picture)
                : nullptr;
        std::vector<PixelBox> elements;
        if (pictureLayer != nullptr) {
            elements = OverlayRenderer::elementsFootprint(context, target, content->sample,
                                                          content->debugInfo, layer, unit);
            markModified(elements);
            media::forEachRunCoveredOnlyBy(
                shared.staticLayerPictures->regions(), frame.modifiedRegions(), frame.width(),
                frame.height(),
                [&](const media::SquareRun& run) { pictureLayer->compositeOnto(*picture, run); });
        } else {
            markModified(OverlayRenderer::overlayFootprint(context, target, content->sample,
                                                           content->debugInfo, layer, unit));
        }
        frame.makePixelsIn(frame.modifiedRegions());
        target.data = frame.rawData();
        // Of the static layer, only what lies under the elements is wanted in BGRA now: the
        // whole 2 × 2 squares they reach, which go back to the encoder.
        for (PixelBox& box : elements)
            box = {box.left & ~1, box.top & ~1, (box.right + 1) & ~1, (box.bottom + 1) & ~1};
        OverlayRenderer::drawOverlay(context, target, content->sample, content->debugInfo, layer,
                                     unit, nullptr, pictureLayer != nullptr ? &elements : nullptr);
        return;
    }
    target.data = frame.data();
    std::vector<PixelBox> touched;
    OverlayRenderer::drawOverlay(context, target, content->sample, content->debugInfo, layer, unit,
                                 &touched);
    markModified(touched);
}

RenderWorkerPool::RenderWorkerPool(int workerCount, const OverlayRenderSharedState& shared,
                                   RenderedFrameFinisher finish)
    : shared_(shared), finish_(std::move(finish)) {
    for (int i = 0; i < workerCount; ++i)
        workers_.push_back(std::make_unique<Worker>());
    for (int i = 0; i < workerCount; ++i) {
        workers_[static_cast<std::size_t>(i)]->thread = std::thread([this, i] { run(i); });
    }
}

RenderWorkerPool::~RenderWorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    for (auto& worker : workers_)
        worker->taskReady.notify_one();
    for (auto& worker : workers_) {
        if (worker->thread.joinable())
            worker->thread.join();
    }
}

void RenderWorkerPool::submit(int workerIndex, std::int64_t index, media::VideoFrame frame) {
    Worker& worker = *workers_[static_cast<std::size_t>(workerIndex)];
    {
        std::lock_guard lock(mutex_);
        worker.task = RenderedFrame{index, std::move(frame), workerIndex, nullptr};
    }
    worker.taskReady.notify_one();
}

RenderedFrame RenderWorkerPool::awaitNext() {
    std::unique_lock lock(mutex_);
    resultReady_.wait(lock, [&] { return !results_.empty(); });
    RenderedFrame result = std::move(results_.front());
    results_.pop_front();
    return result;
}

void RenderWorkerPool::run(int workerIndex) {
    Worker& worker = *workers_[static_cast<std::size_t>(workerIndex)];
    for (;;) {
        RenderedFrame task;
        {
            std::unique_lock lock(mutex_);
            worker.taskReady.wait(lock, [&] { return stopping_ || worker.task.has_value(); });
            if (stopping_)
                return;
            task = std::move(*worker.task);
            worker.task.reset();
        }
        try {
            renderFrame(shared_, worker.context, task.frame);
            if (finish_)
                finish_(task.frame);
        } catch (...) {
            task.error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            results_.push_back(std::move(task));
        }
        resultReady_.notify_one();
    }
}

}  // namespace skelder
