#include "media/video_reader.hpp"

#include <algorithm>
#include <deque>
#include <thread>

#include "media/asset.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/media_error.hpp"
#include "media/memory_budget.hpp"
#include "media/picture_placement.hpp"
#include "media/piece_input.hpp"
#include "media/pixel_conversion.hpp"

namespace skelder::media {

namespace {

// Pictures the writer can take back unchanged: 4:2:0 of the output's size.
bool keepsAsSource(const AVFrame& decoded, const VideoFrame& picture) {
    return (decoded.format == AV_PIX_FMT_YUV420P || decoded.format == AV_PIX_FMT_YUVJ420P) &&
           decoded.width == picture.width() && decoded.height == picture.height();
}

}  // namespace

struct VideoReader::State {
    MediaSource source;
    FramePool pool;
    ReaderLifecycle lifecycle;

    std::size_t nextPiece = 0;
    std::unique_ptr<PieceInput> input;
    CodecContext decoder;
    bool draining = false;
    std::int64_t lastUnits = AV_NOPTS_VALUE;
    FramePtr decoded = allocateFrame();
    PacketPtr packet = allocatePacket();
    ToBgraConverter converter;
    PicturePlacer placer;
    // How the output is turned for display (the source's own transform, or its first piece's),
    // and how far the open piece's pictures must turn to match it (clockwise degrees).
    std::optional<int> outputRotation;
    int pieceTurn = 0;

    State(MediaSource s, int width, int height) : source(std::move(s)), pool(width, height) {
        if (source.transformOverride)
            outputRotation = source.transformOverride->clockwiseDegrees();
    }

    // Frames decoded but not handed on yet, oldest first (see holdBackDecodedPictures).
    std::deque<VideoFrame> held;
    std::size_t holdLimit = 0;

    // The decoder keeps the pictures it still refers to; once it lets go of one, the writer may
    // draw into it instead of into a copy.
    static bool decoderLetGo(const VideoFrame& frame) {
        const AVFrame* source = frame.sourcePicture();
        return source == nullptr || av_frame_is_writable(const_cast<AVFrame*>(source)) != 0;
    }

    bool mayHandOnOldest() const {
        return !held.empty() && (held.size() > holdLimit || decoderLetGo(held.front()));
    }

    VideoFrame takeOldest() {
        VideoFrame oldest = std::move(held.front());
        held.pop_front();
        return oldest;
    }

    // The next decoded frame as a picture, or nothing when the open piece is done.
    std::optional<VideoFrame> decodeNext() {
        AVFrame* frame = nextDecodedFrame();
        if (frame == nullptr)
            return std::nullopt;
        VideoFrame picture = pool.makeFrame();
        const bool asDecoded =
            pieceTurn == 0 && frame->width == picture.width() && frame->height == picture.height();
        if (asDecoded && keepsAsSource(*frame, picture)) {
            // Its BGRA pixels are made from the decoded picture where and when they are needed.
            picture.setSourcePicture(frame);
            picture.deferPixels();
        } else if (asDecoded) {
            converter.convert(*frame, picture);
        } else {
            placer.place(*frame, pieceTurn, picture);
        }
        picture.presentationTime = input->outputTime(frame->pts);
        av_frame_unref(frame);
        return picture;
    }

    // Opens the next piece that has a video stream; false when none is left.
    bool openNextPiece() {
        input.reset();
        decoder.reset();
        while (nextPiece < source.pieces.size()) {
            auto candidate = std::make_unique<PieceInput>(source.pieces[nextPiece++],
                                                          AVMEDIA_TYPE_VIDEO, *source.files);
            if (candidate->stream() == nullptr)
                continue;
            const AVCodecParameters* parameters = candidate->stream()->codecpar;
            const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
            if (codec == nullptr)
                throw MediaError(ffmpegErrorText(AVERROR_DECODER_NOT_FOUND));
            CodecContext context(avcodec_alloc_context3(codec));
            if (!context)
                throw std::bad_alloc();
            checkFFmpeg(avcodec_parameters_to_context(context.get(), parameters));
            context->thread_count = decoderThreadsFor(parameters->width, parameters->height,
                                                      std::thread::hardware_concurrency());
            context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
            context->pkt_timebase = candidate->stream()->time_base;
            checkFFmpeg(avcodec_open2(context.get(), codec, nullptr));
            const int pieceRotation = displayTransformOf(candidate->stream()).clockwiseDegrees();
            if (!outputRotation)
                outputRotation = pieceRotation;
            pieceTurn = (pieceRotation - *outputRotation + 360) % 360;
            input = std::move(candidate);
            decoder = std::move(context);
            draining = false;
            lastUnits = AV_NOPTS_VALUE;
            return true;
        }
        return false;
    }

    // The next decoded frame of the current piece inside its range, or nullptr when the
    // piece is done.
    AVFrame* nextDecodedFrame() {
        for (;;) {
            if (lifecycle.cancelRequested())
                return nullptr;
            const int received = avcodec_receive_frame(decoder.get(), decoded.get());
            if (received == 0) {
                std::int64_t units = decoded->best_effort_timestamp;
                if (units == AV_NOPTS_VALUE)
                    units = lastUnits == AV_NOPTS_VALUE ? 0 : lastUnits + 1;
                lastUnits = units;
                if (input->isBeforeRange(units)) {
                    av_frame_unref(decoded.get());
                    continue;
                }
                if (input->isPastRange(units))
                    return nullptr;
                decoded->pts = units;
                return decoded.get();
            }
            if (received == AVERROR_EOF)
                return nullptr;
            if (received != AVERROR(EAGAIN))
                checkFFmpeg(received);
            if (draining)
                return nullptr;
            if (input->readPacket(packet.get())) {
                const int sent = avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
                // A damaged packet costs its picture, not the whole read.
                if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN)) {
                    checkFFmpeg(sent);
                }
            } else {
                checkFFmpeg(avcodec_send_packet(decoder.get(), nullptr));
                draining = true;
            }
        }
    }
};

VideoReader::VideoReader(MediaSource source, int outputWidth, int outputHeight)
    : state_(std::make_unique<State>(std::move(source), outputWidth, outputHeight)) {}

VideoReader::~VideoReader() = default;

bool VideoReader::startReading() {
    State& s = *state_;
    if (!s.lifecycle.begin())
        return false;
    try {
        if (!s.openNextPiece()) {
            s.lifecycle.fail(ffmpegErrorText(AVERROR_STREAM_NOT_FOUND));
            return false;
        }
    } catch (const MediaError& error) {
        s.lifecycle.fail(error.what());
        return false;
    }
    return true;
}

std::optional<VideoFrame> VideoReader::copyNextFrame() {
    State& s = *state_;
    if (!s.lifecycle.isReading())
        return std::nullopt;
    try {
        while (s.input) {
            if (s.mayHandOnOldest())
                return s.takeOldest();
            if (std::optional<VideoFrame> picture = s.decodeNext()) {
                s.held.push_back(std::move(*picture));
                continue;
            }
            if (s.lifecycle.cancelRequested())
                break;
            // The piece is done: its decoder lets go of everything as it closes.
            s.openNextPiece();
            if (!s.held.empty())
                return s.takeOldest();
        }
        if (!s.held.empty() && !s.lifecycle.cancelRequested())
            return s.takeOldest();
    } catch (const MediaError& error) {
        s.lifecycle.fail(error.what());
        return std::nullopt;
    }
    s.lifecycle.finish();
    return std::nullopt;
}

void VideoReader::holdBackDecodedPictures(int frames) {
    state_->holdLimit = static_cast<std::size_t>(std::max(frames, 0));
}

void VideoReader::cancelReading() {
    state_->lifecycle.cancel();
}

ReaderStatus VideoReader::status() const {
    return state_->lifecycle.status();
}

std::string VideoReader::errorDescription() const {
    return state_->lifecycle.error();
}

}  // namespace skelder::media
