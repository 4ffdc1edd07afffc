#include "media/video_reader.hpp"

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
    // The reader's own copies of decoded pictures, so the decoder gets its buffers back at
    // once and the writer may draw into the copy.
    std::unique_ptr<YuvPicturePool> decodedCopies;
    // How the output is turned for display (the source's own transform, or its first piece's),
    // and how far the open piece's pictures must turn to match it (clockwise degrees).
    std::optional<int> outputRotation;
    int pieceTurn = 0;

    State(MediaSource s, int width, int height) : source(std::move(s)), pool(width, height) {
        if (source.transformOverride)
            outputRotation = source.transformOverride->clockwiseDegrees();
    }

    // False, keeping nothing, when the copy cannot be made.
    bool keepCopyOf(const AVFrame& decoded, VideoFrame& picture) {
        if (!decodedCopies)
            decodedCopies = std::make_unique<YuvPicturePool>(pool.width(), pool.height());
        AVFrame* copy = decodedCopies->makePicture();
        copy->format = decoded.format;
        if (av_frame_copy(copy, &decoded) < 0 || av_frame_copy_props(copy, &decoded) < 0) {
            av_frame_free(&copy);
            return false;
        }
        picture.setSourcePicture(copy);
        av_frame_free(&copy);
        return true;
    }

    // Opens the next piece that has a video stream; false when none is left.
    bool openNextPiece() {
        input.reset();
        decoder.reset();
        while (nextPiece < source.pieces.size()) {
            auto candidate =
                std::make_unique<PieceInput>(source.pieces[nextPiece++], AVMEDIA_TYPE_VIDEO);
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
            if (AVFrame* frame = s.nextDecodedFrame()) {
                VideoFrame picture = s.pool.makeFrame();
                const bool asDecoded = s.pieceTurn == 0 && frame->width == picture.width() &&
                                       frame->height == picture.height();
                if (asDecoded && keepsAsSource(*frame, picture) && s.keepCopyOf(*frame, picture)) {
                    // Its BGRA pixels are made from the copy where and when they are needed.
                    picture.deferPixels();
                } else if (asDecoded) {
                    s.converter.convert(*frame, picture);
                } else {
                    s.placer.place(*frame, s.pieceTurn, picture);
                }
                picture.presentationTime = s.input->outputTime(frame->pts);
                av_frame_unref(frame);
                return picture;
            }
            if (s.lifecycle.cancelRequested())
                break;
            s.openNextPiece();
        }
    } catch (const MediaError& error) {
        s.lifecycle.fail(error.what());
        return std::nullopt;
    }
    s.lifecycle.finish();
    return std::nullopt;
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
