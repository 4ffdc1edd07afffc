#include "samples/sample_muxer.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "media/ffmpeg_handles.hpp"
#include "samples/sample_error.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace skelder::samples {

namespace {

// Fixed so that the encoded bytes do not depend on the machine's core count. One thread: with
// frame threads, libx264 hands its pictures between the caller and its lookahead and frame
// threads, and under load it now and then lost one on closing (a picture and its planes,
// 106 kB at 64 × 64, reported as a leak when the process ended), though every picture had
// been drained and the encoder closed.
constexpr int kEncoderThreads = 1;
constexpr std::int64_t kAudioBitRate = 96'000;

// The handles are media/'s (ownership only: nothing of media/'s reading or writing is used, so
// the files stay independent of what tests check them with).
using FormatContextPtr = media::OutputContext;
using CodecContextPtr = media::CodecContext;
using media::FramePtr;
using media::PacketPtr;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void check(int result, const char* step) {
    if (result < 0) {
        throw SampleWriteError(fmt::format("{}: {}", step, errorText(result)));
    }
}

template <typename T>
T* checkedAllocation(T* pointer, const char* what) {
    if (pointer == nullptr) {
        throw SampleWriteError(fmt::format("Could not allocate {}", what));
    }
    return pointer;
}

const AVCodec* requireEncoder(const char* name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) {
        throw SampleWriteError(fmt::format("The FFmpeg libraries have no {} encoder", name));
    }
    return codec;
}

// The display matrix a camera writes for a picture turned clockwise on playback: the rotation
// plus the translation that keeps the turned picture at the origin, in 16.16 fixed point.
void setDisplayRotation(AVStream* stream, int clockwiseDegrees, int width, int height) {
    std::int32_t matrix[9];
    av_display_rotation_set(matrix, clockwiseDegrees);
    const std::int32_t unit = 1 << 16;
    matrix[6] = clockwiseDegrees == 90 ? height * unit : clockwiseDegrees == 180 ? width * unit : 0;
    matrix[7] = clockwiseDegrees == 180   ? height * unit
                : clockwiseDegrees == 270 ? width * unit
                                          : 0;
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100)
    AVPacketSideData* side = av_packet_side_data_new(&stream->codecpar->coded_side_data,
                                                     &stream->codecpar->nb_coded_side_data,
                                                     AV_PKT_DATA_DISPLAYMATRIX, sizeof matrix, 0);
    std::uint8_t* data = side != nullptr ? side->data : nullptr;
#else
    std::uint8_t* data = av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof matrix);
#endif
    std::memcpy(checkedAllocation(data, "the display matrix"), matrix, sizeof matrix);
}

// The libraries report on standard error by default; the errors that matter reach the caller as
// exceptions. SKELDER_FFMPEG_LOG keeps their messages for debugging.
void quietenLibraryLogging() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("SKELDER_FFMPEG_LOG") == nullptr) {
            av_log_set_level(AV_LOG_QUIET);
        }
    });
}

}  // namespace

struct SampleMuxer::State {
    FormatContextPtr format;
    CodecContextPtr video;
    CodecContextPtr audio;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    FramePtr picture;
    PacketPtr packet;
    std::int64_t nextVideoPts = 0;
    std::int64_t nextAudioPts = 0;
    bool finished = false;

    void writePackets(AVCodecContext* codec, AVStream* stream) {
        for (;;) {
            const int result = avcodec_receive_packet(codec, packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return;
            }
            check(result, "Could not encode the sample");
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format.get(), packet.get()),
                  "Could not write the sample recording");
        }
    }
};

SampleMuxer::SampleMuxer(const std::filesystem::path& path, const SampleVideoSettings& settings,
                         std::optional<SampleAudioSettings> audioSettings)
    : state_(std::make_unique<State>()) {
    quietenLibraryLogging();
    State& s = *state_;
    AVFormatContext* format = nullptr;
    check(avformat_alloc_output_context2(&format, nullptr, "mp4", path.c_str()),
          "Could not set up the MP4 muxer");
    s.format.reset(format);
    // No library version strings in the file: the same input gives the same bytes.
    s.format->flags |= AVFMT_FLAG_BITEXACT;
    const bool globalHeader = (s.format->oformat->flags & AVFMT_GLOBALHEADER) != 0;

    const AVCodec* x264 = requireEncoder("libx264");
    s.video.reset(checkedAllocation(avcodec_alloc_context3(x264), "the video encoder"));
    AVCodecContext& video = *s.video;
    video.width = settings.width;
    video.height = settings.height;
    video.pix_fmt = AV_PIX_FMT_YUV420P;
    video.time_base = {settings.frameRate.denominator, settings.frameRate.numerator};
    video.framerate = {settings.frameRate.numerator, settings.frameRate.denominator};
    video.gop_size = settings.keyframeInterval;
    video.color_range = AVCOL_RANGE_MPEG;
    video.color_primaries = AVCOL_PRI_BT709;
    video.color_trc = AVCOL_TRC_BT709;
    video.colorspace = AVCOL_SPC_BT709;
    video.thread_count = kEncoderThreads;
    if (globalHeader) {
        video.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // ultrafast, plus the High profile tools and B-frames a camera's encoder uses; keyframes at a
    // fixed interval only, so seeking lands where the interval says.
    const std::string x264Params = fmt::format(
        "keyint={}:scenecut=0:8x8dct=1:cabac=1:bframes=2:b-adapt=0", settings.keyframeInterval);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    av_dict_set(&options, "profile", "high", 0);
    av_dict_set(&options, "crf", "23", 0);
    av_dict_set(&options, "x264-params", x264Params.c_str(), 0);
    const int opened = avcodec_open2(&video, x264, &options);
    av_dict_free(&options);
    check(opened, "Could not open the H.264 encoder");

    s.videoStream = checkedAllocation(avformat_new_stream(format, nullptr), "the video stream");
    check(avcodec_parameters_from_context(s.videoStream->codecpar, &video),
          "Could not describe the video stream");
    s.videoStream->time_base = video.time_base;
    s.videoStream->avg_frame_rate = video.framerate;
    if (settings.rotationDegrees != 0) {
        setDisplayRotation(s.videoStream, settings.rotationDegrees, settings.width,
                           settings.height);
    }

    if (audioSettings) {
        const AVCodec* aac = requireEncoder("aac");
        s.audio.reset(checkedAllocation(avcodec_alloc_context3(aac), "the audio encoder"));
        AVCodecContext& audio = *s.audio;
        audio.sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio.sample_rate = audioSettings->sampleRate;
        av_channel_layout_default(&audio.ch_layout, 1);
        audio.bit_rate = kAudioBitRate;
        audio.time_base = {1, audioSettings->sampleRate};
        if (globalHeader) {
            audio.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        check(avcodec_open2(&audio, aac, nullptr), "Could not open the AAC encoder");
        s.audioStream = checkedAllocation(avformat_new_stream(format, nullptr), "the audio stream");
        check(avcodec_parameters_from_context(s.audioStream->codecpar, &audio),
              "Could not describe the audio stream");
        s.audioStream->time_base = audio.time_base;
    }

    s.picture.reset(checkedAllocation(av_frame_alloc(), "a picture"));
    s.picture->format = AV_PIX_FMT_YUV420P;
    s.picture->width = settings.width;
    s.picture->height = settings.height;
    s.picture->color_range = AVCOL_RANGE_MPEG;
    s.picture->color_primaries = AVCOL_PRI_BT709;
    s.picture->color_trc = AVCOL_TRC_BT709;
    s.picture->colorspace = AVCOL_SPC_BT709;
    check(av_frame_get_buffer(s.picture.get(), 0), "Could not allocate a picture");
    s.packet.reset(checkedAllocation(av_packet_alloc(), "a packet"));

    check(avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE),
          "Could not open the sample recording for writing");
    check(avformat_write_header(format, nullptr), "Could not write the sample recording");
}

SampleMuxer::~SampleMuxer() = default;

YuvPicture SampleMuxer::nextPicture() {
    AVFrame& frame = *state_->picture;
    // The encoder may still hold the previous picture.
    check(av_frame_make_writable(&frame), "Could not allocate a picture");
    const auto plane = [&](int index, int width, int height) {
        return Plane{frame.data[index], frame.linesize[index], width, height};
    };
    return {plane(0, frame.width, frame.height),
            plane(1, (frame.width + 1) / 2, (frame.height + 1) / 2),
            plane(2, (frame.width + 1) / 2, (frame.height + 1) / 2)};
}

void SampleMuxer::encodeVideoFrame() {
    State& s = *state_;
    s.picture->pts = s.nextVideoPts++;
    check(avcodec_send_frame(s.video.get(), s.picture.get()), "Could not encode the sample video");
    s.writePackets(s.video.get(), s.videoStream);
}

int SampleMuxer::audioFrameSize() const {
    return state_->audio ? state_->audio->frame_size : 0;
}

void SampleMuxer::encodeAudio(std::span<const float> samples) {
    State& s = *state_;
    if (!s.audio || samples.empty()) {
        return;
    }
    FramePtr frame(checkedAllocation(av_frame_alloc(), "an audio frame"));
    frame->format = s.audio->sample_fmt;
    frame->sample_rate = s.audio->sample_rate;
    check(av_channel_layout_copy(&frame->ch_layout, &s.audio->ch_layout),
          "Could not allocate an audio frame");
    const bool shortLastFrame = (s.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    frame->nb_samples = shortLastFrame
                            ? static_cast<int>(samples.size())
                            : std::max(s.audio->frame_size, static_cast<int>(samples.size()));
    check(av_frame_get_buffer(frame.get(), 0), "Could not allocate an audio frame");
    std::memset(frame->data[0], 0, static_cast<std::size_t>(frame->nb_samples) * sizeof(float));
    std::memcpy(frame->data[0], samples.data(), samples.size_bytes());
    frame->pts = s.nextAudioPts;
    s.nextAudioPts += frame->nb_samples;
    check(avcodec_send_frame(s.audio.get(), frame.get()), "Could not encode the sample audio");
    s.writePackets(s.audio.get(), s.audioStream);
}

void SampleMuxer::finish() {
    State& s = *state_;
    if (s.finished) {
        return;
    }
    check(avcodec_send_frame(s.video.get(), nullptr), "Could not encode the sample video");
    s.writePackets(s.video.get(), s.videoStream);
    if (s.audio) {
        check(avcodec_send_frame(s.audio.get(), nullptr), "Could not encode the sample audio");
        s.writePackets(s.audio.get(), s.audioStream);
    }
    check(av_write_trailer(s.format.get()), "Could not finish the sample recording");
    check(avio_closep(&s.format->pb), "Could not finish the sample recording");
    s.finished = true;
}

}  // namespace skelder::samples
