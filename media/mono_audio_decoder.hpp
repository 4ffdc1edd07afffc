#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <vector>

namespace skelder::media {

// A stretch of sound as mono floats at a fixed rate. Sample i plays at startSeconds + i / rate
// on the file's timeline, the one the picture's presentation times are on.
struct MonoAudio {
    double startSeconds = 0;
    int sampleRate = 0;
    std::vector<float> samples;
    // How many of the samples the audio track filled; the rest (where the track starts later or
    // ends sooner) are zero.
    std::size_t decodedSamples = 0;
};

// Decodes the audio track a player plays (the file's best audio stream, the one an export
// copies) to mono at `sampleRate`, stretch by stretch: libavcodec decodes, libswresample mixes
// the channels down and resamples. Samples are placed by the decoded frames' presentation times,
// so a stretch read on its own lines up with the same stretch read from the start (to within a
// sample: the resampler starts on the first decoded frame's time).
class MonoAudioDecoder {
  public:
    // Opens the file; throws MediaError with FFmpeg's text when it cannot be opened or its audio
    // cannot be decoded.
    MonoAudioDecoder(const std::filesystem::path& path, int sampleRate);
    ~MonoAudioDecoder();
    MonoAudioDecoder(const MonoAudioDecoder&) = delete;
    MonoAudioDecoder& operator=(const MonoAudioDecoder&) = delete;

    bool hasAudio() const;

    // The sound from `startSeconds` for round(duration x rate) samples. Throws MediaError,
    // CancellationError once `stop` is requested, std::invalid_argument for a negative or
    // non-finite stretch or one longer than four hours. Without audio, and where the track has no
    // sound (before it, after it, or at any start however far), every sample is zero.
    MonoAudio decode(double startSeconds, double durationSeconds, const std::stop_token& stop);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace skelder::media
