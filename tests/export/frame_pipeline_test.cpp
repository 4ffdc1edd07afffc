#include "export/frame_pipeline.hpp"

#include <gtest/gtest.h>

#include <map>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"

namespace skelder {
namespace {

using media::MediaTime;
using media::VideoFrame;

// Decoded frames with given times; each frame's first byte holds its decode index.
class FakeFrames {
  public:
    explicit FakeFrames(std::vector<MediaTime> times) : times_(std::move(times)) {}
    std::optional<VideoFrame> next() {
        if (next_ >= times_.size())
            return std::nullopt;
        VideoFrame frame = pool_.makeFrame();
        frame.data()[0] = static_cast<std::uint8_t>(next_);
        frame.presentationTime = times_[next_++];
        return frame;
    }

  private:
    std::vector<MediaTime> times_;
    std::size_t next_ = 0;
    media::FramePool pool_{2, 2};
};

// Renderers that finish in a scripted order: a result is released once every frame named
// before it in `finishOrder` was released (frames not named finish in submission order).
class ScriptedRenderers : public FrameRenderers {
  public:
    ScriptedRenderers(int size, std::vector<std::int64_t> finishOrder)
        : size_(size), order_(std::move(finishOrder)) {}
    int size() const override { return size_; }
    void submit(int worker, std::int64_t index, VideoFrame frame) override {
        EXPECT_FALSE(busy_.contains(worker)) << "worker " << worker << " used twice";
        busy_.insert(worker);
        maxInFlight_ = std::max(maxInFlight_, static_cast<int>(busy_.size()));
        submitted_[index] = RenderedFrame{index, std::move(frame), worker, nullptr};
        if (index == failAt)
            submitted_[index].error = std::make_exception_ptr(std::runtime_error("render broke"));
    }
    RenderedFrame awaitNext() override {
        if (released_ < order_.size() && submitted_.contains(order_[released_]))
            return take(order_[released_++]);
        // The scripted frame is not submitted yet: release the oldest unscripted one.
        for (auto& [index, result] : submitted_) {
            if (std::find(order_.begin(), order_.end(), index) == order_.end())
                return take(index);
        }
        ADD_FAILURE() << "the pipeline waits for a render that cannot finish";
        throw std::logic_error("deadlock");
    }
    int maxInFlight() const { return maxInFlight_; }
    std::int64_t failAt = -1;

  private:
    RenderedFrame take(std::int64_t index) {
        RenderedFrame result = std::move(submitted_.at(index));
        submitted_.erase(index);
        busy_.erase(result.workerIndex);
        return result;
    }
    int size_;
    std::vector<std::int64_t> order_;
    std::size_t released_ = 0;
    std::map<std::int64_t, RenderedFrame> submitted_;
    std::set<int> busy_;
    int maxInFlight_ = 0;
};

class RecordingEncoder : public VideoEncoderInput {
  public:
    bool isReadyForMoreData() const override { return ready; }
    media::WriterStatus status() const override { return statusValue; }
    std::string errorDescription() const override { return error; }
    bool append(VideoFrame frame, MediaTime time) override {
        order.push_back(frame.data()[0]);
        times.push_back(time);
        return acceptAppends;
    }
    bool ready = true;
    bool acceptAppends = true;
    media::WriterStatus statusValue = media::WriterStatus::writing;
    std::string error;
    std::vector<int> order;
    std::vector<MediaTime> times;
};

std::vector<MediaTime> framesAt(std::initializer_list<std::int64_t> thirtieths) {
    std::vector<MediaTime> times;
    for (auto t : thirtieths)
        times.push_back(MediaTime(t, 30));
    return times;
}

struct PipelineRun {
    std::vector<double> progress;
    void operator()(FakeFrames& frames, VideoEncoderInput& encoder, FrameRenderers& renderers,
                    double duration = 1.0, std::stop_token stop = {}) {
        runFramePipeline([&] { return frames.next(); }, encoder, renderers, {0.0, duration},
                         [&](double p) { progress.push_back(p); }, stop);
    }
};

TEST(FramePipeline, FramesReachTheEncoderInDecodeOrder) {
    FakeFrames frames(framesAt({0, 1, 2, 3, 4}));
    ScriptedRenderers renderers(3, {1, 2, 0});
    RecordingEncoder encoder;
    PipelineRun run;
    run(frames, encoder, renderers);
    EXPECT_EQ(encoder.order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_LE(renderers.maxInFlight(), 3);
    // Frames 0, 1 and 2 were written together once frame 0 arrived: three reports at once.
    ASSERT_EQ(run.progress.size(), 5u);
    EXPECT_DOUBLE_EQ(run.progress[2], 2.0 / 30.0);
}

TEST(FramePipeline, TimesAlwaysIncrease) {
    FakeFrames frames(framesAt({0, 3, 3, 2, 5}));
    ScriptedRenderers renderers(2, {});
    RecordingEncoder encoder;
    PipelineRun run;
    run(frames, encoder, renderers);
    const MediaTime tick{1, 60000};
    ASSERT_EQ(encoder.times.size(), 5u);
    EXPECT_EQ(encoder.times[1], MediaTime(3, 30));
    EXPECT_EQ(encoder.times[2], MediaTime(3, 30) + tick);
    EXPECT_EQ(encoder.times[3], MediaTime(3, 30) + tick + tick);
    EXPECT_EQ(encoder.times[4], MediaTime(5, 30));
}

TEST(FramePipeline, ProgressIsCappedAndThrottled) {
    FakeFrames frames(framesAt({0, 30, 60}));
    ScriptedRenderers renderers(2, {});
    RecordingEncoder encoder;
    PipelineRun run;
    run(frames, encoder, renderers, 2.0);
    EXPECT_EQ(run.progress, (std::vector<double>{0.0, 0.5, 0.999}));

    FakeFrames many(framesAt({0, 1, 2, 3}));
    ScriptedRenderers again(2, {});
    std::vector<double> reports;
    runFramePipeline([&] { return many.next(); }, encoder, again, {3600.0, 1.0},
                     [&](double p) { reports.push_back(p); }, {});
    EXPECT_EQ(reports.size(), 1u);  // only the first frame within the interval
}

// How a run of three frames ends: "cancelled", the error's message (an export error's marked
// as such), or nothing when it completed.
std::string outcomeOf(RecordingEncoder& encoder, int renderersSize = 2, std::int64_t failAt = -1,
                      std::stop_token stop = {}) {
    FakeFrames frames(framesAt({0, 1, 2}));
    ScriptedRenderers renderers(renderersSize, {});
    renderers.failAt = failAt;
    try {
        PipelineRun()(frames, encoder, renderers, 1.0, stop);
    } catch (const CancellationError&) {
        return "cancelled";
    } catch (const ExportError& error) {
        return std::string("export error: ") + error.what();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

TEST(FramePipeline, EncoderAndRenderFailuresAndCancellation) {
    RecordingEncoder failed;
    failed.ready = false;
    failed.statusValue = media::WriterStatus::failed;
    failed.error = "Disk full";
    EXPECT_EQ(outcomeOf(failed),
              "export error: Writer failed while waiting for video input: Disk full");
    RecordingEncoder refusing;
    refusing.acceptAppends = false;
    EXPECT_EQ(outcomeOf(refusing), "export error: Failed while appending video");
    RecordingEncoder cancelled;
    cancelled.ready = false;
    cancelled.statusValue = media::WriterStatus::cancelled;
    EXPECT_EQ(outcomeOf(cancelled), "cancelled");

    RecordingEncoder stopped;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(outcomeOf(stopped, 2, -1, stop.get_token()), "cancelled");
    EXPECT_TRUE(stopped.order.empty());
    RecordingEncoder afterABrokenRender;
    EXPECT_EQ(outcomeOf(afterABrokenRender, 1, 1), "render broke");
    EXPECT_EQ(afterABrokenRender.order, std::vector<int>{0});
}

}  // namespace
}  // namespace skelder
