#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "export/render_workers.hpp"
#include "media/media_writer.hpp"
#include "media/video_frame.hpp"

namespace skelder {

using ProgressCallback = std::function<void(double fraction)>;

// The encoder side as the pipeline sees it (the writer's video input).
class VideoEncoderInput {
  public:
    virtual ~VideoEncoderInput() = default;
    virtual bool isReadyForMoreData() const = 0;
    // Waits up to `limit` for the input to become ready; says whether it is.
    virtual bool waitForReadiness(std::chrono::milliseconds limit) {
        if (isReadyForMoreData())
            return true;
        std::this_thread::sleep_for(std::min(limit, std::chrono::milliseconds(1)));
        return isReadyForMoreData();
    }
    virtual media::WriterStatus status() const = 0;
    virtual std::string errorDescription() const = 0;
    virtual bool append(media::VideoFrame frame, media::MediaTime time) = 0;
};

// The writer's video input.
class WriterVideoInput : public VideoEncoderInput {
  public:
    explicit WriterVideoInput(media::MediaWriter& writer) : writer_(writer) {}
    bool isReadyForMoreData() const override { return writer_.isVideoReadyForMoreData(); }
    bool waitForReadiness(std::chrono::milliseconds limit) override {
        return writer_.waitForVideoReadiness(limit);
    }
    media::WriterStatus status() const override { return writer_.status(); }
    std::string errorDescription() const override { return writer_.errorDescription(); }
    bool append(media::VideoFrame frame, media::MediaTime time) override {
        return writer_.appendVideoFrame(std::move(frame), time);
    }

  private:
    media::MediaWriter& writer_;
};

// Decoded frames in decode order; nothing at the end.
using VideoFrameSource = std::function<std::optional<media::VideoFrame>()>;

struct FramePipelineSettings {
    double progressUpdateInterval = 0.1;  // seconds between reports
    double durationSeconds = 0.001;       // of the output, for the progress fraction
};

// Reads every decoded frame, lets the renderers draw the HUD, and hands the frames to the
// encoder strictly in decode order with strictly increasing times. At most renderers.size()
// frames are in flight. Reports progress in [0, 0.999]. Throws ExportError, or
// CancellationError when the stop token fires.
void runFramePipeline(const VideoFrameSource& frames, VideoEncoderInput& encoder,
                      FrameRenderers& renderers, const FramePipelineSettings& settings,
                      const ProgressCallback& progress, std::stop_token stop);

}  // namespace skelder
