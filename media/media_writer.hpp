#pragma once

#include <chrono>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "media/affine_transform.hpp"
#include "media/audio_reader.hpp"
#include "media/color_properties.hpp"
#include "media/media_time.hpp"
#include "media/video_frame.hpp"

namespace skelder::media {

enum class WriterStatus { unknown, writing, completed, failed, cancelled };

struct VideoInputSettings {
    int width = 0;
    int height = 0;
    std::int64_t averageBitRate = 10'000'000;
    AffineTransform transform;
    ColorProperties color;      // of the source; written as the stream's colour tags
    double frameRateHint = 30;  // frames per second, for the encoder's rate control
    std::string preset = "veryfast";
};

// Writes an MPEG-4 file: BGRA frames encoded as H.264 High (yuv420p, automatic level) on an
// encoder thread behind a bounded queue, and compressed audio copied through. Muxer writes
// are serialized. Video calls come from one thread, audio calls from (at most) another;
// status, error and cancelWriting are safe from any thread.
class MediaWriter {
  public:
    // Throws MediaError when no MPEG-4 writer can be made for the path.
    explicit MediaWriter(const std::filesystem::path& outputPath);
    ~MediaWriter();
    MediaWriter(const MediaWriter&) = delete;
    MediaWriter& operator=(const MediaWriter&) = delete;

    // False when the input cannot be added (the error description says why).
    bool addVideoInput(const VideoInputSettings& settings);
    // Why an MPEG-4 file cannot carry this audio unchanged (e.g. "MP4 files cannot hold
    // pcm_s16le audio"), or nothing when it can. Asked before addAudioInput, since a stream
    // the muxer refuses would only fail later, when the file is started.
    std::optional<std::string> audioCopyRefusal(const AudioFormat& format) const;
    bool addAudioInput(const AudioFormat& format);

    // Opens the file and writes its header; false (status failed) on error.
    bool startWriting();

    // Converts a frame to the encoder's picture now, on the calling thread: render workers do
    // it so conversions run in parallel and frames wait for the encoder in the smaller form.
    // Safe from any thread once the video input is added. Frames appended unprepared are
    // converted on the encoder thread.
    void prepareVideoFrame(VideoFrame& frame) const;

    bool isVideoReadyForMoreData() const;
    // Waits until the video input is ready or `limit` has passed, and says whether it is
    // ready: a waiting caller sleeps until the encoder takes a frame instead of polling.
    bool waitForVideoReadiness(std::chrono::milliseconds limit) const;
    // Queues a frame for encoding; presentation times must increase. False when the writer
    // is not writing (failed or cancelled).
    bool appendVideoFrame(VideoFrame frame, MediaTime presentationTime);
    void markVideoFinished();

    bool isAudioReadyForMoreData() const;
    // The same for audio, which waits for the video to catch up.
    bool waitForAudioReadiness(std::chrono::milliseconds limit) const;
    bool appendAudioPacket(AudioPacket packet);
    void markAudioFinished();

    // Drains the encoder and completes the file; afterwards status is completed, failed, or
    // cancelled when a cancel came first (the file is then left unfinished). Only the thread
    // that owns the writer calls it (and destroys the writer): it alone joins the encoder
    // thread.
    void finishWriting();
    // Asks the writer to stop: encoding ends at the next picture and the file is left
    // unfinished (the caller removes it). Safe from any thread and returns at once.
    void cancelWriting();

    WriterStatus status() const;
    std::string errorDescription() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace skelder::media
