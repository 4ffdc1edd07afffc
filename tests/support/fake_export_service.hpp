#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "core/cancellation.hpp"
#include "export/export_service.hpp"

namespace skelder::testing {

// Writes nothing: records what it is asked to export and reports 0, 0.5 and 1. Between the
// last two reports `beforeFinishing` runs (it may throw or request a stop) and, while
// `holdUntilCancelled` is set, the export waits until it is cancelled and ends with
// CancellationError. Safe to call from any thread.
class FakeExportService : public ExportServicing {
  public:
    struct Call {
        std::filesystem::path outputURL;
        HighlightsOverlayOptions options;
        std::vector<HighlightsReelInput> reel = {};  // empty for a full export
        bool layer = false;                          // a HUD layer
        bool finished = false;                       // reported 1
    };

    ExportReport exportOverlayVideo(const OverlayExportJob& job,
                                    const std::filesystem::path& outputURL,
                                    const ProgressCallback& progress,
                                    std::stop_token stop) override {
        return run({.outputURL = outputURL, .options = job.overlayOptions}, progress,
                   std::move(stop));
    }
    ExportReport exportHighlightsReel(const std::vector<HighlightsReelInput>& inputs,
                                      const HighlightsOverlayOptions& overlayOptions,
                                      const std::filesystem::path& outputURL,
                                      const ProgressCallback& progress,
                                      std::stop_token stop) override {
        return run({.outputURL = outputURL, .options = overlayOptions, .reel = inputs}, progress,
                   std::move(stop));
    }
    ExportReport exportHudLayer(const OverlayExportJob& job, const std::filesystem::path& outputURL,
                                media::LayerCodec, const ProgressCallback& progress,
                                std::stop_token stop) override {
        return run({.outputURL = outputURL, .options = job.overlayOptions, .layer = true}, progress,
                   std::move(stop));
    }

    std::vector<Call> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

    std::vector<std::string> notices;  // what every export reports beside its file
    std::function<void(int call)> beforeFinishing;
    std::atomic<bool> holdUntilCancelled{false};
    std::atomic<int> waitingForCancel{0};

  private:
    ExportReport run(Call call, const ProgressCallback& progress, std::stop_token stop) {
        std::size_t number = 0;
        {
            const std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
            number = calls_.size();
        }
        progress(0.0);
        progress(0.5);
        if (beforeFinishing)
            beforeFinishing(static_cast<int>(number));
        if (holdUntilCancelled) {
            std::mutex mutex;
            std::condition_variable_any cancelled;
            std::unique_lock lock(mutex);
            ++waitingForCancel;
            cancelled.wait_for(lock, stop, std::chrono::seconds(60), [] { return false; });
            --waitingForCancel;
            throwIfCancelled(stop);
        }
        progress(1.0);
        const std::lock_guard lock(mutex_);
        calls_[number - 1].finished = true;
        return {.notices = notices};
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

}  // namespace skelder::testing
