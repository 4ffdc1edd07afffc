#include "media/layer_writer.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "core/cancellation.hpp"
#include "media/input_file.hpp"
#include "media/media_error.hpp"

namespace skelder::media {
namespace {

// Straight alpha from premultiplied: the colour a pixel had before its alpha was applied.
inline std::uint8_t unpremultiplied(std::uint8_t value, std::uint8_t alpha) {
    return static_cast<std::uint8_t>(std::min(255, (value * 255 + alpha / 2) / alpha));
}

}  // namespace

VideoFrameTimes videoFrameTimes(const std::filesystem::path& path, std::stop_token stop) {
    InputContext input = openInput(path);
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        throw MediaError("the file has no video track");
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        input->streams[i]->discard =
            static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVStream* stream = input->streams[index];
    VideoFrameTimes times;
    times.timeBase = stream->time_base;
    PacketPtr packet = allocatePacket();
    std::int64_t lastDts = AV_NOPTS_VALUE;
    for (;;) {
        throwIfCancelled(stop);
        const int result = av_read_frame(input.get(), packet.get());
        if (result == AVERROR_EOF)
            break;
        checkFFmpeg(result);
        if (packet->stream_index == index) {
            // A packet without a presentation time follows the one before it.
            std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts == AV_NOPTS_VALUE)
                pts = lastDts == AV_NOPTS_VALUE ? 0 : lastDts + 1;
            lastDts = pts;
            times.pts.push_back(pts);
            if (packet->duration > 0)
                times.lastDuration = packet->duration;
        }
        av_packet_unref(packet.get());
    }
    std::sort(times.pts.begin(), times.pts.end());
    times.pts.erase(std::unique(times.pts.begin(), times.pts.end()), times.pts.end());
    return times;
}

LayerEncoder::LayerEncoder(int width, int height, AVRational timeBase, LayerCodec codec)
    : width_(width), height_(height), timeBase_(timeBase), codec_(codec) {
    // Animation's picture is made with the first picture encoded: an encoder made only to
    // describe the stream for the muxer holds no picture.
    if (codec == LayerCodec::animation)
        return;
    const AVCodec* encoder = avcodec_find_encoder_by_name("prores_ks");
    if (encoder == nullptr)
        throw MediaError("no encoder for the layer's codec");
    encoder_.reset(avcodec_alloc_context3(encoder));
    if (!encoder_)
        throw MediaError("cannot allocate the layer's encoder");
    encoder_->width = width;
    encoder_->height = height;
    encoder_->time_base = timeBase;
    encoder_->sample_aspect_ratio = {1, 1};
    encoder_->thread_count = 1;
    encoder_->pix_fmt = AV_PIX_FMT_YUVA444P10LE;
    encoder_->profile = FF_PROFILE_PRORES_4444;
    encoder_->color_primaries = AVCOL_PRI_BT709;
    encoder_->color_trc = AVCOL_TRC_BT709;
    encoder_->colorspace = AVCOL_SPC_BT709;
    encoder_->color_range = AVCOL_RANGE_MPEG;
    av_opt_set(encoder_->priv_data, "vendor", "apl0", 0);
    // QuickTime keeps codec headers in the sample description.
    encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    checkFFmpeg(avcodec_open2(encoder_.get(), encoder, nullptr));

    frame_ = allocateFrame();
    frame_->format = encoder_->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    checkFFmpeg(av_frame_get_buffer(frame_.get(), 0));
    straight_ = allocateFrame();
    straight_->format = AV_PIX_FMT_BGRA;
    straight_->width = width;
    straight_->height = height;
    checkFFmpeg(av_frame_get_buffer(straight_.get(), 0));
    toEncoder_.reset(sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height,
                                    AV_PIX_FMT_YUVA444P10LE, SWS_POINT, nullptr, nullptr, nullptr));
    if (!toEncoder_)
        throw MediaError("cannot convert the layer's pictures");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(toEncoder_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
}

void LayerEncoder::describe(AVCodecParameters& parameters) const {
    if (codec_ == LayerCodec::prores4444) {
        checkFFmpeg(avcodec_parameters_from_context(&parameters, encoder_.get()));
        return;
    }
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = AV_CODEC_ID_QTRLE;
    parameters.format = AV_PIX_FMT_ARGB;
    parameters.bits_per_coded_sample = 32;  // 32-bit depth: the pixels carry alpha
    parameters.width = width_;
    parameters.height = height_;
    parameters.sample_aspect_ratio = {1, 1};
}

namespace {

LayerEncoder::Box clamped(LayerEncoder::Box box, int width, int height) {
    box.left = std::clamp(box.left, 0, width);
    box.right = std::clamp(box.right, box.left, width);
    box.top = std::clamp(box.top, 0, height);
    box.bottom = std::clamp(box.bottom, box.top, height);
    return box;
}

// A premultiplied B G R A pixel with its alpha undone, in the order asked for.
template <bool argb>
inline void straightPixel(const std::uint8_t* from, std::uint8_t* to) {
    const std::uint8_t a = from[3];
    std::uint8_t b = from[0];
    std::uint8_t g = from[1];
    std::uint8_t r = from[2];
    if (a == 0) {
        b = g = r = 0;
    } else if (a != 255) {
        b = unpremultiplied(b, a);
        g = unpremultiplied(g, a);
        r = unpremultiplied(r, a);
    }
    if constexpr (argb) {
        to[0] = a;
        to[1] = r;
        to[2] = g;
        to[3] = b;
    } else {
        to[0] = b;
        to[1] = g;
        to[2] = r;
        to[3] = a;
    }
}

}  // namespace

void LayerEncoder::convert(const std::uint8_t* bgra, int stride, Box box) {
    box = clamped(box, width_, height_);
    for (int y = box.top; y < box.bottom; ++y) {
        const std::uint8_t* from = bgra + static_cast<std::ptrdiff_t>(y) * stride + box.left * 4;
        std::uint8_t* to = straight_->data[0] +
                           static_cast<std::ptrdiff_t>(y) * straight_->linesize[0] + box.left * 4;
        for (int x = box.left; x < box.right; ++x, from += 4, to += 4)
            straightPixel<false>(from, to);
    }
}

void LayerEncoder::convertNotingChanges(const std::uint8_t* bgra, int stride, Box box) {
    box = clamped(box, width_, height_);
    for (int y = box.top; y < box.bottom; ++y) {
        const std::uint8_t* from = bgra + static_cast<std::ptrdiff_t>(y) * stride + box.left * 4;
        std::uint8_t* to = argb_.data() + (static_cast<std::size_t>(y) * width_ + box.left) * 4;
        RowSpan& span = changedRows_[static_cast<std::size_t>(y)];
        for (int x = box.left; x < box.right; ++x, from += 4, to += 4) {
            std::uint8_t pixel[4];
            straightPixel<true>(from, pixel);
            if (std::memcmp(pixel, to, 4) == 0)
                continue;
            std::memcpy(to, pixel, 4);
            if (span.end <= span.begin) {
                span = {x, x + 1};
            } else {
                span.begin = std::min(span.begin, x);
                span.end = std::max(span.end, x + 1);
            }
        }
    }
}

void LayerEncoder::encode(const std::uint8_t* bgra, int stride, const std::vector<Box>& changed,
                          std::int64_t pts, std::int64_t duration, std::vector<PacketPtr>& out) {
    const Box whole{0, 0, width_, height_};
    if (codec_ == LayerCodec::animation) {
        if (first_) {
            argb_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4,
                         0);
            // A key picture codes every pixel, so a reader may start there.
            changedRows_.assign(static_cast<std::size_t>(height_), RowSpan{0, width_});
            convertNotingChanges(bgra, stride, whole);
        } else {
            std::fill(changedRows_.begin(), changedRows_.end(), RowSpan{});
            for (const Box& box : changed)
                convertNotingChanges(bgra, stride, box);
        }
        encodeAnimation(pts, duration, out);
        first_ = false;
        return;
    }
    // The encoder may still refer to the previous picture: writing needs a copy then.
    checkFFmpeg(av_frame_make_writable(frame_.get()));
    checkFFmpeg(av_frame_make_writable(straight_.get()));
    if (first_) {
        convert(bgra, stride, whole);
        first_ = false;
    } else {
        for (const Box& box : changed)
            convert(bgra, stride, box);
    }
    sws_scale(toEncoder_.get(), straight_->data, straight_->linesize, 0, height_, frame_->data,
              frame_->linesize);
    frame_->pts = pts;
    frame_->pkt_duration = duration;
    checkFFmpeg(avcodec_send_frame(encoder_.get(), frame_.get()));
    durations_.push_back(duration);
    drain(false, out);
}

void LayerEncoder::encodeAnimation(std::int64_t pts, std::int64_t duration,
                                   std::vector<PacketPtr>& out) {
    const std::vector<std::uint8_t> coded = codeAnimationPicture(
        {argb_.data(), width_, height_, static_cast<std::ptrdiff_t>(width_) * 4}, changedRows_);
    PacketPtr packet = allocatePacket();
    checkFFmpeg(av_new_packet(packet.get(), static_cast<int>(coded.size())));
    std::memcpy(packet->data, coded.data(), coded.size());
    packet->pts = pts;
    packet->dts = pts;
    packet->duration = duration;
    if (first_)
        packet->flags |= AV_PKT_FLAG_KEY;
    out.push_back(std::move(packet));
}

void LayerEncoder::drain(bool flushing, std::vector<PacketPtr>& out) {
    for (;;) {
        PacketPtr packet = allocatePacket();
        const int received = avcodec_receive_packet(encoder_.get(), packet.get());
        if (received == AVERROR(EAGAIN) || (flushing && received == AVERROR_EOF))
            return;
        checkFFmpeg(received);
        // Pictures come out in the order they went in (neither codec reorders them).
        if (!durations_.empty()) {
            if (packet->duration <= 0)
                packet->duration = durations_.front();
            durations_.pop_front();
        }
        out.push_back(std::move(packet));
    }
}

void LayerEncoder::flush(std::vector<PacketPtr>& out) {
    if (codec_ == LayerCodec::animation)
        return;  // every picture went out as it came in
    checkFFmpeg(avcodec_send_frame(encoder_.get(), nullptr));
    drain(true, out);
}

LayerMuxer::LayerMuxer(const std::filesystem::path& path, const LayerEncoder& encoder)
    : encoderTimeBase_(encoder.timeBase()) {
    AVFormatContext* raw = nullptr;
    checkFFmpeg(avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()));
    output_.reset(raw);
    stream_ = avformat_new_stream(output_.get(), nullptr);
    if (stream_ == nullptr)
        throw MediaError("cannot add the layer's stream");
    stream_->time_base = encoder.timeBase();
    encoder.describe(*stream_->codecpar);
    checkFFmpeg(avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE));
    checkFFmpeg(writeHeaderWithIndexInFront(output_.get()));
}

void LayerMuxer::write(AVPacket& packet) {
    av_packet_rescale_ts(&packet, encoderTimeBase_, stream_->time_base);
    packet.stream_index = stream_->index;
    checkFFmpeg(av_interleaved_write_frame(output_.get(), &packet));
}

void LayerMuxer::finish() {
    checkFFmpeg(av_write_trailer(output_.get()));
    checkFFmpeg(avio_closep(&output_->pb));
}

}  // namespace skelder::media
