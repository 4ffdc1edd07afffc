#include "media/video_frame.hpp"

#include "media/pixel_conversion.hpp"
#include "media/square_runs.hpp"

#include <new>
#include <stdexcept>
#include <utility>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

namespace skelder::media {
namespace {

// Rows start on 64-byte boundaries, and the buffer ends with 64 spare bytes: vector code in
// the converters reads and writes whole vectors, which may reach past a row's last pixel.
constexpr int kRowAlignment = 64;
constexpr std::size_t kTailPadding = 64;

}  // namespace

VideoFrame::VideoFrame() = default;
VideoFrame::VideoFrame(VideoFrame&& other) noexcept
    : presentationTime(other.presentationTime),
      frame_(std::exchange(other.frame_, nullptr)),
      source_(std::exchange(other.source_, nullptr)),
      encoderPicture_(std::exchange(other.encoderPicture_, nullptr)),
      modified_(std::move(other.modified_)),
      deferred_(std::exchange(other.deferred_, false)),
      made_(std::move(other.made_)) {}

VideoFrame& VideoFrame::operator=(VideoFrame&& other) noexcept {
    if (this != &other) {
        av_frame_free(&frame_);
        av_frame_free(&source_);
        av_frame_free(&encoderPicture_);
        frame_ = std::exchange(other.frame_, nullptr);
        source_ = std::exchange(other.source_, nullptr);
        encoderPicture_ = std::exchange(other.encoderPicture_, nullptr);
        modified_ = std::move(other.modified_);
        deferred_ = std::exchange(other.deferred_, false);
        made_ = std::move(other.made_);
        presentationTime = other.presentationTime;
    }
    return *this;
}

VideoFrame::~VideoFrame() {
    av_frame_free(&frame_);
    av_frame_free(&source_);
    av_frame_free(&encoderPicture_);
}

AVFrame* VideoFrame::ownSourcePicture() {
    return source_ != nullptr && av_frame_is_writable(source_) != 0 ? source_ : nullptr;
}

AVFrame* VideoFrame::takeSourcePicture() {
    return std::exchange(source_, nullptr);
}

void VideoFrame::setEncoderPicture(AVFrame* picture) {
    av_frame_free(&encoderPicture_);
    encoderPicture_ = picture;
    av_frame_free(&frame_);
    av_frame_free(&source_);
    modified_.clear();
    deferred_ = false;
    made_.clear();
}

void VideoFrame::setSourcePicture(const AVFrame* picture) {
    av_frame_free(&source_);
    if (picture != nullptr)
        source_ = av_frame_clone(picture);
}

int VideoFrame::width() const {
    return frame_ ? frame_->width : 0;
}
int VideoFrame::height() const {
    return frame_ ? frame_->height : 0;
}
int VideoFrame::stride() const {
    return frame_ ? frame_->linesize[0] : 0;
}
std::uint8_t* VideoFrame::data() {
    makeDeferredPixels();
    return rawData();
}
const std::uint8_t* VideoFrame::data() const {
    makeDeferredPixels();
    return rawData();
}
std::uint8_t* VideoFrame::rawData() {
    return frame_ ? frame_->data[0] : nullptr;
}
const std::uint8_t* VideoFrame::rawData() const {
    return frame_ ? frame_->data[0] : nullptr;
}

void VideoFrame::deferPixels() {
    if (frame_ == nullptr || source_ == nullptr ||
        (source_->format != AV_PIX_FMT_YUV420P && source_->format != AV_PIX_FMT_YUVJ420P) ||
        source_->width != frame_->width || source_->height != frame_->height) {
        throw std::logic_error("deferred pixels need a yuv420p picture of the frame's size");
    }
    deferred_ = true;
    made_.clear();
}

void VideoFrame::makePixelsIn(std::span<const PixelRegion> regions) {
    if (!deferred_ || source_ == nullptr)
        return;
    const RgbCoefficients k = rgbCoefficientsOf(*source_);
    forEachCoveredRun(regions, width(), height(), [&](const SquareRun& run) {
        convertYuv420RunToBgra(*source_, run, frame_->data[0], frame_->linesize[0], k);
    });
    made_.insert(made_.end(), regions.begin(), regions.end());
}

void VideoFrame::makeDeferredPixels() const {
    if (!deferred_)
        return;
    deferred_ = false;
    if (source_ != nullptr) {
        const RgbCoefficients k = rgbCoefficientsOf(*source_);
        forEachUncoveredRun(made_, width(), height(), [&](const SquareRun& run) {
            convertYuv420RunToBgra(*source_, run, frame_->data[0], frame_->linesize[0], k);
        });
    }
    made_.clear();
}

FramePool::FramePool(int width, int height)
    : width_(width),
      height_(height),
      stride_((width * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment),
      pool_(nullptr) {
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("frame size must be positive");
    // Not cleared: every pixel is written before it is read, and pages of a frame whose pixels
    // are made only under the HUD are never touched at all.
    pool_ = av_buffer_pool_init(static_cast<std::size_t>(stride_) * height_ + kTailPadding,
                                av_buffer_alloc);
    if (pool_ == nullptr)
        throw std::bad_alloc();
}

FramePool::~FramePool() {
    av_buffer_pool_uninit(&pool_);
}

VideoFrame FramePool::makeFrame() {
    VideoFrame frame;
    frame.frame_ = av_frame_alloc();
    if (frame.frame_ == nullptr)
        throw std::bad_alloc();
    frame.frame_->buf[0] = av_buffer_pool_get(pool_);
    if (frame.frame_->buf[0] == nullptr)
        throw std::bad_alloc();
    frame.frame_->data[0] = frame.frame_->buf[0]->data;
    frame.frame_->linesize[0] = stride_;
    frame.frame_->width = width_;
    frame.frame_->height = height_;
    frame.frame_->format = AV_PIX_FMT_BGRA;
    return frame;
}

}  // namespace skelder::media

namespace skelder::media {

YuvPicturePool::YuvPicturePool(int width, int height)
    : width_(width),
      height_(height),
      lumaStride_((width + kRowAlignment - 1) / kRowAlignment * kRowAlignment),
      chromaStride_(((width + 1) / 2 + kRowAlignment - 1) / kRowAlignment * kRowAlignment),
      pool_(nullptr) {
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("picture size must be positive");
    const std::size_t luma = static_cast<std::size_t>(lumaStride_) * height_;
    const std::size_t chroma = static_cast<std::size_t>(chromaStride_) * ((height_ + 1) / 2);
    pool_ = av_buffer_pool_init(luma + 2 * chroma + kTailPadding, av_buffer_alloc);
    if (pool_ == nullptr)
        throw std::bad_alloc();
}

YuvPicturePool::~YuvPicturePool() {
    av_buffer_pool_uninit(&pool_);
}

AVFrame* YuvPicturePool::makePicture() {
    AVFrame* picture = av_frame_alloc();
    if (picture == nullptr)
        throw std::bad_alloc();
    picture->buf[0] = av_buffer_pool_get(pool_);
    if (picture->buf[0] == nullptr) {
        av_frame_free(&picture);
        throw std::bad_alloc();
    }
    const std::size_t luma = static_cast<std::size_t>(lumaStride_) * height_;
    const std::size_t chroma = static_cast<std::size_t>(chromaStride_) * ((height_ + 1) / 2);
    picture->data[0] = picture->buf[0]->data;
    picture->data[1] = picture->data[0] + luma;
    picture->data[2] = picture->data[1] + chroma;
    picture->linesize[0] = lumaStride_;
    picture->linesize[1] = chromaStride_;
    picture->linesize[2] = chromaStride_;
    picture->width = width_;
    picture->height = height_;
    picture->format = AV_PIX_FMT_YUV420P;
    return picture;
}

}  // namespace skelder::media
