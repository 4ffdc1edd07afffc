#pragma once

#include <exception>
#include <stop_token>
#include <thread>

#include "media/audio_reader.hpp"
#include "media/media_writer.hpp"

namespace skelder {

// Copies the compressed audio into the writer on its own thread, waiting while the writer's
// audio input is not ready (until the video catches up, looking at the stop token every 10 ms). The
// input is marked finished only when every packet was appended.
class AudioPump {
  public:
    AudioPump(media::AudioReader& reader, media::MediaWriter& writer, std::stop_token exportStop);
    ~AudioPump();
    AudioPump(const AudioPump&) = delete;
    AudioPump& operator=(const AudioPump&) = delete;

    // Waits for the pump; rethrows its error (ExportError or CancellationError), if any.
    void wait();
    // Stops the pump early (when the video side failed) and waits for it.
    void cancelAndWait();

  private:
    void run(std::stop_token pumpStop);

    media::AudioReader& reader_;
    media::MediaWriter& writer_;
    std::stop_token exportStop_;
    std::exception_ptr error_;
    std::jthread thread_;
};

}  // namespace skelder
