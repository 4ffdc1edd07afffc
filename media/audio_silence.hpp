#pragma once

#include <optional>

#include "media/audio_reader.hpp"

namespace skelder::media {

// Compressed packets of silence in a given audio format, to fill the audio of composition
// pieces that have none, so the audio after them stays in step with the picture. Only AAC
// (the recorders' format) can be made; other formats leave a gap.
class AudioSilence {
  public:
    // Nothing when no silence can be made in this format.
    static std::optional<AudioSilence> forFormat(const AudioFormat& format);

    // One silent packet starting at `pts` (format time base); its duration is frameDuration().
    AudioPacket packetAt(std::int64_t pts) const;
    std::int64_t frameDuration() const { return frameDuration_; }

  private:
    AudioSilence() = default;
    std::shared_ptr<const AVPacket> silent_;
    AVRational timeBase_{1, 1};
    std::int64_t frameDuration_ = 0;
};

}  // namespace skelder::media
