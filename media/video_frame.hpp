#pragma once

#include <cstdint>
#include <memory>

#include "media/media_time.hpp"

struct AVFrame;
struct AVBufferPool;

namespace skelder::media {

// A decoded picture as 32-bit BGRA (premultiplied, opaque) with its presentation time.
// The pixels belong to whoever holds the frame: the export draws the HUD straight into them.
class VideoFrame {
  public:
    VideoFrame();
    VideoFrame(VideoFrame&&) noexcept;
    VideoFrame& operator=(VideoFrame&&) noexcept;
    ~VideoFrame();

    int width() const;
    int height() const;
    int stride() const;  // bytes per row
    std::uint8_t* data();
    const std::uint8_t* data() const;
    bool empty() const { return frame_ == nullptr; }

    MediaTime presentationTime;

    // The underlying FFmpeg frame (pixel format BGRA).
    AVFrame* avFrame() const { return frame_; }

  private:
    friend class FramePool;
    AVFrame* frame_ = nullptr;
};

// Reuses BGRA buffers of one size so that decoding a long video does not allocate (and
// fault in) a fresh picture for every frame. Frames may outlive the pool.
class FramePool {
  public:
    FramePool(int width, int height);
    ~FramePool();
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    VideoFrame makeFrame();
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    int width_;
    int height_;
    int stride_;
    AVBufferPool* pool_;
};

}  // namespace skelder::media
