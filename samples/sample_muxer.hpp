#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "samples/frame_rate.hpp"
#include "samples/sample_picture.hpp"

namespace skelder::samples {

struct SampleVideoSettings {
    int width = 1920;
    int height = 1080;
    FrameRate frameRate = {};
    int rotationDegrees = 0;  // clockwise, written as the stream's display matrix
    int keyframeInterval = 60;
};

struct SampleAudioSettings {
    int sampleRate = 48'000;
};

// Encodes H.264 video (libx264, High profile, yuv420p, BT.709 limited range, fixed keyframe
// interval, two B-frames) and optionally AAC mono audio into an MP4 whose movie box comes after
// the media. Fixed encoder threading keeps the output the same bytes for the same input. Throws
// SampleWriteError.
class SampleMuxer {
  public:
    SampleMuxer(const std::filesystem::path& path, const SampleVideoSettings& video,
                std::optional<SampleAudioSettings> audio);
    ~SampleMuxer();
    SampleMuxer(const SampleMuxer&) = delete;
    SampleMuxer& operator=(const SampleMuxer&) = delete;

    // The picture of the next video frame, to paint before encodeVideoFrame.
    YuvPicture nextPicture();
    void encodeVideoFrame();

    // Samples per audio frame; every call of encodeAudio but the last passes exactly this many.
    int audioFrameSize() const;
    void encodeAudio(std::span<const float> samples);

    // Drains the encoders and writes the movie box.
    void finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace skelder::samples
