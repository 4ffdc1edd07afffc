#include "media/audio_silence.hpp"

#include "media/media_error.hpp"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace skelder::media {
namespace {

// Frames of silence encoded before one is kept: the encoder's first packets carry its start-up.
constexpr int kWarmUpFrames = 4;

}  // namespace

std::optional<AudioSilence> AudioSilence::forFormat(const AudioFormat& format) {
    if (!format.parameters || format.parameters->codec_id != AV_CODEC_ID_AAC)
        return std::nullopt;
    const AVCodecParameters& source = *format.parameters;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr || source.sample_rate <= 0)
        return std::nullopt;
    try {
        CodecContext encoder(avcodec_alloc_context3(codec));
        if (!encoder)
            return std::nullopt;
        encoder->sample_rate = source.sample_rate;
        encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        checkFFmpeg(av_channel_layout_copy(&encoder->ch_layout, &source.ch_layout));
        if (encoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&encoder->ch_layout, encoder->ch_layout.nb_channels);
        }
        encoder->bit_rate = 64000;
        encoder->time_base = AVRational{1, source.sample_rate};
        checkFFmpeg(avcodec_open2(encoder.get(), codec, nullptr));

        FramePtr frame = allocateFrame();
        frame->nb_samples = encoder->frame_size;
        frame->format = encoder->sample_fmt;
        checkFFmpeg(av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout));
        checkFFmpeg(av_frame_get_buffer(frame.get(), 0));
        PacketPtr packet = allocatePacket();
        PacketPtr kept;
        for (int i = 0; i < kWarmUpFrames; ++i) {
            checkFFmpeg(av_frame_make_writable(frame.get()));
            for (int channel = 0; channel < frame->ch_layout.nb_channels; ++channel) {
                std::fill_n(reinterpret_cast<float*>(frame->extended_data[channel]),
                            frame->nb_samples, 0.0f);
            }
            frame->pts = static_cast<std::int64_t>(i) * encoder->frame_size;
            checkFFmpeg(avcodec_send_frame(encoder.get(), frame.get()));
            while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
                kept = allocatePacket();
                av_packet_move_ref(kept.get(), packet.get());
            }
        }
        if (!kept)
            return std::nullopt;

        AudioSilence silence;
        silence.timeBase_ = format.timeBase;
        silence.frameDuration_ =
            av_rescale_q(encoder->frame_size, AVRational{1, source.sample_rate}, format.timeBase);
        silence.silent_ = std::shared_ptr<const AVPacket>(kept.release(), [](const AVPacket* p) {
            AVPacket* owned = const_cast<AVPacket*>(p);
            av_packet_free(&owned);
        });
        if (silence.frameDuration_ <= 0)
            return std::nullopt;
        return silence;
    } catch (const MediaError&) {
        return std::nullopt;
    }
}

AudioPacket AudioSilence::packetAt(std::int64_t pts) const {
    PacketPtr packet = allocatePacket();
    checkFFmpeg(av_packet_ref(packet.get(), silent_.get()));
    packet->pts = pts;
    packet->dts = pts;
    packet->duration = frameDuration_;
    packet->stream_index = 0;
    packet->flags |= AV_PKT_FLAG_KEY;
    return AudioPacket{std::move(packet), timeBase_};
}

}  // namespace skelder::media
