#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "export/overlay_export_job.hpp"
#include "media/video_frame.hpp"

namespace skelder {

// Draws the HUD of its output time over one decoded frame, in place.
void renderFrame(const OverlayRenderSharedState& shared, OverlayRenderContext& context,
                 media::VideoFrame& frame);

// The result of one render.
struct RenderedFrame {
    std::int64_t index = 0;
    media::VideoFrame frame;
    int workerIndex = 0;
    std::exception_ptr error;
};

// Renderers as the frame pipeline uses them: a fixed number of workers, a frame given to one
// idle worker at a time, results collected in the order renders finish.
class FrameRenderers {
  public:
    virtual ~FrameRenderers() = default;
    virtual int size() const = 0;
    // The worker must be idle (its index held by the caller).
    virtual void submit(int workerIndex, std::int64_t index, media::VideoFrame frame) = 0;
    // The next finished render, whichever worker it came from.
    virtual RenderedFrame awaitNext() = 0;
};

// What a worker does with a frame once its HUD is drawn (the writer's conversion to the
// encoder's picture), on the worker's thread.
using RenderedFrameFinisher = std::function<void(media::VideoFrame&)>;

// n render threads, each with its own drawing context. A frame is given to one named worker;
// results come back in the order renders finish. Stopping (or destroying) the pool lets the
// renders under way finish and joins every thread.
class RenderWorkerPool : public FrameRenderers {
  public:
    RenderWorkerPool(int workerCount, const OverlayRenderSharedState& shared,
                     RenderedFrameFinisher finish = {});
    ~RenderWorkerPool();
    RenderWorkerPool(const RenderWorkerPool&) = delete;
    RenderWorkerPool& operator=(const RenderWorkerPool&) = delete;

    int size() const override { return static_cast<int>(workers_.size()); }
    void submit(int workerIndex, std::int64_t index, media::VideoFrame frame) override;
    RenderedFrame awaitNext() override;

  private:
    struct Worker {
        OverlayRenderContext context;
        std::optional<RenderedFrame> task;
        // Each worker waits on its own: a new frame wakes only the worker it is for.
        std::condition_variable taskReady;
        std::thread thread;
    };
    void run(int workerIndex);

    const OverlayRenderSharedState& shared_;
    RenderedFrameFinisher finish_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::mutex mutex_;
    std::condition_variable resultReady_;
    std::deque<RenderedFrame> results_;
    bool stopping_ = false;
};

}  // namespace skelder
