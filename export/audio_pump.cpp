#include "export/audio_pump.hpp"

#include <chrono>
#include <utility>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"

namespace skelder {

AudioPump::AudioPump(media::AudioReader& reader, media::MediaWriter& writer,
                     std::stop_token exportStop)
    : reader_(reader), writer_(writer), exportStop_(exportStop) {
    thread_ = std::jthread([this](std::stop_token pumpStop) { run(pumpStop); });
}

AudioPump::~AudioPump() {
    cancelAndWait();
}

void AudioPump::wait() {
    if (thread_.joinable())
        thread_.join();
    if (error_)
        std::rethrow_exception(std::exchange(error_, nullptr));
}

void AudioPump::cancelAndWait() {
    thread_.request_stop();
    if (thread_.joinable())
        thread_.join();
}

void AudioPump::run(std::stop_token pumpStop) {
    const auto cancelled = [&] {
        return exportStop_.stop_requested() || pumpStop.stop_requested();
    };
    try {
        for (;;) {
            std::optional<media::AudioPacket> packet = reader_.copyNextPacket();
            if (!packet) {
                // A reader that failed is reported by the export afterwards; the input stays
                // open only when the pump itself failed.
                writer_.markAudioFinished();
                return;
            }
            if (cancelled())
                throw CancellationError();
            // Audio waits for the video to catch up; each appended video frame wakes it.
            while (!writer_.waitForAudioReadiness(std::chrono::milliseconds(10))) {
                if (cancelled())
                    throw CancellationError();
                if (writer_.status() == media::WriterStatus::failed) {
                    throw ExportError::exportFailed("Writer failed while waiting for audio input",
                                                    writer_.errorDescription());
                }
                if (writer_.status() == media::WriterStatus::cancelled)
                    throw CancellationError();
            }
            if (!writer_.appendAudioPacket(std::move(*packet))) {
                throw ExportError::exportFailed("Failed while appending audio",
                                                writer_.errorDescription());
            }
        }
    } catch (...) {
        error_ = std::current_exception();
    }
}

}  // namespace skelder
