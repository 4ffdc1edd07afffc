#pragma once

#include <memory>
#include <optional>
#include <string>

#include "media/media_source.hpp"
#include "media/reader_status.hpp"
#include "media/video_frame.hpp"

namespace skelder::media {

// Decodes the video of a source to BGRA frames of one size, in the decoder's output order,
// each with its presentation time on the source's timeline. Decoding uses FFmpeg's threads.
// cancelReading may be called from any thread; everything else from one thread.
class VideoReader {
  public:
    VideoReader(MediaSource source, int outputWidth, int outputHeight);
    ~VideoReader();
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    // Opens the first piece; false (status failed) when that fails.
    bool startReading();
    // The next frame; nothing at the end, after a failure or once cancelled.
    std::optional<VideoFrame> copyNextFrame();
    void cancelReading();

    // Frames carry the decoder's own picture, which the decoder keeps referring to for a few
    // frames. The reader may hold back up to `frames` frames (none by default) until the decoder
    // lets go of the oldest, so that whoever draws on it can draw in place rather than on a copy.
    // Costs that many pictures of memory; call before reading.
    void holdBackDecodedPictures(int frames);

    ReaderStatus status() const;
    // FFmpeg's description of the failure, empty when there is none.
    std::string errorDescription() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace skelder::media
