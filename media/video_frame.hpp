#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "media/media_time.hpp"

struct AVFrame;
struct AVBufferPool;

namespace skelder::media {

// A rectangle of pixels: columns from the left, rows from the top, end exclusive.
struct PixelRegion {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PixelRegion&, const PixelRegion&) = default;
};

// A decoded picture as 32-bit BGRA (premultiplied, opaque) with its presentation time.
// The pixels belong to whoever holds the frame: the export draws the HUD straight into them.
//
// A reader may hand over a frame whose BGRA pixels are still to be made from its decoded
// picture: data() makes them all first, and a caller that works on a small part makes only
// that part (makePixelsIn) and uses rawData(). The HUD covers a tenth of a frame; converting
// the rest only to convert it back would cost the export a few percent.
class VideoFrame {
  public:
    VideoFrame();
    VideoFrame(VideoFrame&&) noexcept;
    VideoFrame& operator=(VideoFrame&&) noexcept;
    ~VideoFrame();

    int width() const;
    int height() const;
    int stride() const;  // bytes per row
    // The pixels, every one of them made.
    std::uint8_t* data();
    const std::uint8_t* data() const;
    bool empty() const { return frame_ == nullptr; }

    // Leaves the BGRA pixels to be made from the decoded picture (setSourcePicture, yuv420p of
    // the frame's size) when they are asked for.
    void deferPixels();
    bool hasDeferredPixels() const { return deferred_; }
    // Makes the pixels of these regions, if they are deferred.
    void makePixelsIn(std::span<const PixelRegion> regions);
    // The buffer as it stands: while pixels are deferred, only the regions made so far hold
    // the picture.
    std::uint8_t* rawData();
    const std::uint8_t* rawData() const;

    MediaTime presentationTime;

    // The underlying FFmpeg frame (pixel format BGRA).
    AVFrame* avFrame() const { return frame_; }

    // The decoded picture the pixels were made from, when the reader kept it (same size,
    // 4:2:0). Whoever changes pixels marks where; the writer then converts only those regions
    // back and takes everything else from this picture unchanged: faster, and no round-trip
    // loss outside the drawing.
    const AVFrame* sourcePicture() const { return source_; }
    void setSourcePicture(const AVFrame* picture);
    // Hands the decoded picture over (the caller frees it); the frame keeps none. Deferred
    // pixels not made by then never will be: only the writer takes it, as it lets the pixels go.
    AVFrame* takeSourcePicture();
    // The decoded picture, to draw into, when this frame alone refers to it (the decoder let
    // go of it); null otherwise. Squares drawn there must stay out of the modified regions,
    // whose BGRA pixels the writer converts over them.
    AVFrame* ownSourcePicture();
    void markModified(PixelRegion region) { modified_.push_back(region); }
    const std::vector<PixelRegion>& modifiedRegions() const { return modified_; }

    // The picture as the encoder takes it (yuv420p), once a writer prepared the frame; the
    // BGRA pixels and the decoded picture are released then, so a prepared frame waiting for
    // the encoder holds only this.
    const AVFrame* encoderPicture() const { return encoderPicture_; }
    void setEncoderPicture(AVFrame* picture);

  private:
    friend class FramePool;
    AVFrame* frame_ = nullptr;
    AVFrame* source_ = nullptr;
    AVFrame* encoderPicture_ = nullptr;
    std::vector<PixelRegion> modified_;
    // Made on first use by const readers too; a frame has one user at a time.
    mutable bool deferred_ = false;
    mutable std::vector<PixelRegion> made_;  // while deferred: the regions made so far
    void makeDeferredPixels() const;
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

// The same for yuv420p pictures (the encoder's input): rows aligned and padded for vector
// code. Safe to use from several threads; pictures may outlive the pool.
class YuvPicturePool {
  public:
    YuvPicturePool(int width, int height);
    ~YuvPicturePool();
    YuvPicturePool(const YuvPicturePool&) = delete;
    YuvPicturePool& operator=(const YuvPicturePool&) = delete;

    // A picture whose pixels are the caller's (the caller frees it with av_frame_free).
    AVFrame* makePicture();
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    int width_;
    int height_;
    int lumaStride_;
    int chromaStride_;
    AVBufferPool* pool_;
};

}  // namespace skelder::media
