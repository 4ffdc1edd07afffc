#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media/ffmpeg_handles.hpp"
#include "media/media_source.hpp"
#include "media/reader_status.hpp"

namespace skelder::media {

// The format of compressed audio as it is copied: codec parameters and time base.
struct AudioFormat {
    std::shared_ptr<const AVCodecParameters> parameters;
    AVRational timeBase{1, 1};
};

// One compressed audio packet, unchanged except for its timestamps, which are on the
// source's timeline in `timeBase` units.
struct AudioPacket {
    PacketPtr packet;
    AVRational timeBase{1, 1};
};

// Reads the audio of a source as compressed packets (no decoding). Pieces without audio, or
// whose audio differs in format from the first piece with audio, leave a gap.
class AudioReader {
  public:
    explicit AudioReader(MediaSource source);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // Finds the audio format (the first piece with audio); false (status failed) on error or
    // when no piece has audio.
    bool startReading();
    const AudioFormat& format() const;
    std::optional<AudioPacket> copyNextPacket();
    void cancelReading();

    ReaderStatus status() const;
    std::string errorDescription() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace skelder::media
