#include "media/layer_writer.hpp"

#include <algorithm>
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
    : frame_(allocateFrame()), codec_(codec) {
    const AVCodec* encoder = codec == LayerCodec::animation
                                 ? avcodec_find_encoder(AV_CODEC_ID_QTRLE)
                                 : avcodec_find_encoder_by_name("prores_ks");
    if (encoder == nullptr)
        throw MediaError("no encoder for the layer's codec");
    encoder_.reset(avcodec_alloc_context3(encoder));
    if (!encoder_)
        throw MediaError("cannot allocate the layer's encoder");
    encoder_->width = width;
    encoder_->height = height;
    encoder_->time_base = timeBase;
    encoder_->sample_aspect_ratio = {1, 1};
    // Key pictures only where a stretch starts (and every ten seconds or so within it).
    encoder_->gop_size = 300;
    encoder_->thread_count = 1;
    if (codec == LayerCodec::animation) {
        encoder_->pix_fmt = AV_PIX_FMT_ARGB;
    } else {
        encoder_->pix_fmt = AV_PIX_FMT_YUVA444P10LE;
        encoder_->profile = FF_PROFILE_PRORES_4444;
        encoder_->color_primaries = AVCOL_PRI_BT709;
        encoder_->color_trc = AVCOL_TRC_BT709;
        encoder_->colorspace = AVCOL_SPC_BT709;
        encoder_->color_range = AVCOL_RANGE_MPEG;
        av_opt_set(encoder_->priv_data, "vendor", "apl0", 0);
    }
    // QuickTime keeps codec headers in the sample description.
    encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    checkFFmpeg(avcodec_open2(encoder_.get(), encoder, nullptr));

    frame_->format = encoder_->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    checkFFmpeg(av_frame_get_buffer(frame_.get(), 0));
    if (codec == LayerCodec::prores4444) {
        straight_ = allocateFrame();
        straight_->format = AV_PIX_FMT_BGRA;
        straight_->width = width;
        straight_->height = height;
        checkFFmpeg(av_frame_get_buffer(straight_.get(), 0));
        toEncoder_.reset(sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height,
                                        AV_PIX_FMT_YUVA444P10LE, SWS_POINT, nullptr, nullptr,
                                        nullptr));
        if (!toEncoder_)
            throw MediaError("cannot convert the layer's pictures");
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(toEncoder_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
}

void LayerEncoder::convert(const std::uint8_t* bgra, int stride, Box box) {
    AVFrame* straight = codec_ == LayerCodec::animation ? frame_.get() : straight_.get();
    box.left = std::clamp(box.left, 0, encoder_->width);
    box.right = std::clamp(box.right, box.left, encoder_->width);
    box.top = std::clamp(box.top, 0, encoder_->height);
    box.bottom = std::clamp(box.bottom, box.top, encoder_->height);
    for (int y = box.top; y < box.bottom; ++y) {
        const std::uint8_t* from = bgra + static_cast<std::ptrdiff_t>(y) * stride + box.left * 4;
        std::uint8_t* to = straight->data[0] +
                           static_cast<std::ptrdiff_t>(y) * straight->linesize[0] + box.left * 4;
        for (int x = box.left; x < box.right; ++x, from += 4, to += 4) {
            const std::uint8_t a = from[3];
            std::uint8_t b = 0;
            std::uint8_t g = 0;
            std::uint8_t r = 0;
            if (a != 0) {
                b = unpremultiplied(from[0], a);
                g = unpremultiplied(from[1], a);
                r = unpremultiplied(from[2], a);
            }
            if (codec_ == LayerCodec::animation) {  // A R G B in memory
                to[0] = a;
                to[1] = r;
                to[2] = g;
                to[3] = b;
            } else {  // B G R A in memory
                to[0] = b;
                to[1] = g;
                to[2] = r;
                to[3] = a;
            }
        }
    }
}

void LayerEncoder::encode(const std::uint8_t* bgra, int stride, const std::vector<Box>& changed,
                          std::int64_t pts, std::int64_t duration, std::vector<PacketPtr>& out) {
    // The encoder may still refer to the previous picture (QuickTime Animation codes the
    // difference to it): writing needs a copy then, which keeps its pixels for the unchanged
    // parts.
    checkFFmpeg(av_frame_make_writable(frame_.get()));
    if (codec_ == LayerCodec::prores4444)
        checkFFmpeg(av_frame_make_writable(straight_.get()));
    if (first_) {
        convert(bgra, stride, {0, 0, encoder_->width, encoder_->height});
        first_ = false;
    } else {
        for (const Box& box : changed)
            convert(bgra, stride, box);
    }
    if (codec_ == LayerCodec::prores4444) {
        sws_scale(toEncoder_.get(), straight_->data, straight_->linesize, 0, encoder_->height,
                  frame_->data, frame_->linesize);
    }
    frame_->pts = pts;
    frame_->pkt_duration = duration;
    checkFFmpeg(avcodec_send_frame(encoder_.get(), frame_.get()));
    durations_.push_back(duration);
    drain(false, out);
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
    checkFFmpeg(avcodec_send_frame(encoder_.get(), nullptr));
    drain(true, out);
}

LayerMuxer::LayerMuxer(const std::filesystem::path& path, const AVCodecContext& encoder)
    : encoderTimeBase_(encoder.time_base) {
    AVFormatContext* raw = nullptr;
    checkFFmpeg(avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()));
    output_.reset(raw);
    stream_ = avformat_new_stream(output_.get(), nullptr);
    if (stream_ == nullptr)
        throw MediaError("cannot add the layer's stream");
    stream_->time_base = encoder.time_base;
    checkFFmpeg(avcodec_parameters_from_context(stream_->codecpar, &encoder));
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
