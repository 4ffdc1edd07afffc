#include "media/mono_audio_decoder.hpp"

#include <cmath>
#include <stdexcept>

#include "core/cancellation.hpp"
#include "media/ffmpeg_handles.hpp"
#include "media/input_file.hpp"
#include "media/media_error.hpp"

extern "C" {
#include <libswresample/swresample.h>
}

namespace skelder::media {
namespace {

// Decoding starts this long before a stretch, so the decoder's overlapping transforms and the
// resampler's filter have settled by its first sample.
constexpr double kPrerollSeconds = 0.5;
constexpr double kLongestStretchSeconds = 4 * 3600;
// No recording's sound lies this far from its start (about 30 years); a stretch there is silent,
// and seek targets stay far from the limits of 64-bit times.
constexpr double kFarthestSeconds = 1e9;
constexpr std::int64_t kNoIndex = INT64_MIN;
constexpr std::int64_t kLargestRoundingSamples = 2;

struct SwrDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrDeleter>;

}  // namespace

struct MonoAudioDecoder::State {
    InputContext input;
    AVStream* stream = nullptr;
    CodecContext decoder;
    int outputRate = 0;
    PacketPtr packet = allocatePacket();
    FramePtr frame = allocateFrame();

    SwrContextPtr makeResampler() const {
        AVChannelLayout inputLayout{};
        if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inputLayout, decoder->ch_layout.nb_channels);
        else
            checkFFmpeg(av_channel_layout_copy(&inputLayout, &decoder->ch_layout));
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        SwrContext* raw = nullptr;
        const int made =
            swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, outputRate, &inputLayout,
                                decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inputLayout);
        SwrContextPtr resampler(raw);
        checkFFmpeg(made);
        checkFFmpeg(swr_init(resampler.get()));
        return resampler;
    }

    // One stretch's decoding: frames are resampled in order and written where their
    // presentation times put them.
    struct Stretch {
        MonoAudio& out;
        SwrContext* resampler;
        std::int64_t scale;  // units of swr's timestamps per second: input rate x output rate
        std::int64_t lastWritten = -1;
        std::int64_t nextIndex = kNoIndex;
        std::int64_t nextInputPts = AV_NOPTS_VALUE;
        std::vector<float> converted;

        // Places `count` converted samples that start at swr's output time `outputPts`; false
        // once they lie past the stretch.
        bool place(std::int64_t outputPts, int count) {
            const double seconds = static_cast<double>(outputPts) / static_cast<double>(scale);
            std::int64_t first = static_cast<std::int64_t>(
                std::llround((seconds - out.startSeconds) * out.sampleRate));
            // The resampler's output is continuous: a time that rounds a sample away from where
            // the previous frame ended is the same instant, and placing it there would leave a
            // gap or overwrite a sample. Only a real jump in the times moves the output.
            if (nextIndex != kNoIndex && std::abs(first - nextIndex) <= kLargestRoundingSamples)
                first = nextIndex;
            nextIndex = first + count;
            const auto size = static_cast<std::int64_t>(out.samples.size());
            for (int k = 0; k < count; ++k) {
                const std::int64_t index = first + k;
                if (index < 0 || index >= size)
                    continue;
                out.samples[static_cast<std::size_t>(index)] =
                    converted[static_cast<std::size_t>(k)];
                if (index > lastWritten) {
                    ++out.decodedSamples;
                    lastWritten = index;
                }
            }
            return first < size;
        }
    };

    // Resamples one decoded frame (or drains the resampler with nullptr); false once the
    // stretch is complete.
    bool convert(Stretch& stretch, const AVFrame* decoded) {
        std::int64_t inputPts = INT64_MIN;
        int inputSamples = 0;
        const std::uint8_t** data = nullptr;
        if (decoded != nullptr) {
            std::int64_t units = decoded->best_effort_timestamp;
            if (units != AV_NOPTS_VALUE) {
                const AVRational base = stream->time_base;
                inputPts = av_rescale(units, stretch.scale * base.num, base.den);
            } else if (stretch.nextInputPts != AV_NOPTS_VALUE) {
                inputPts = stretch.nextInputPts;
            }
            inputSamples = decoded->nb_samples;
            data = const_cast<const std::uint8_t**>(decoded->extended_data);
            if (inputPts != INT64_MIN) {
                stretch.nextInputPts =
                    inputPts + static_cast<std::int64_t>(inputSamples) * outputRate;
            }
        }
        const std::int64_t outputPts = swr_next_pts(stretch.resampler, inputPts);
        const int capacity = swr_get_out_samples(stretch.resampler, inputSamples);
        if (capacity <= 0)
            return true;
        stretch.converted.resize(static_cast<std::size_t>(capacity));
        auto* target = reinterpret_cast<std::uint8_t*>(stretch.converted.data());
        const int produced =
            checkFFmpeg(swr_convert(stretch.resampler, &target, capacity, data, inputSamples));
        return stretch.place(outputPts, produced);
    }

    // Receives every frame the decoder has ready; false once the stretch is complete.
    bool receiveFrames(Stretch& stretch) {
        for (;;) {
            const int received = avcodec_receive_frame(decoder.get(), frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received == AVERROR_INVALIDDATA)
                continue;  // a damaged frame is left out; the next ones still decode
            checkFFmpeg(received);
            const bool more = convert(stretch, frame.get());
            av_frame_unref(frame.get());
            if (!more)
                return false;
        }
    }
};

MonoAudioDecoder::MonoAudioDecoder(const std::filesystem::path& path, int sampleRate)
    : state_(std::make_unique<State>()) {
    if (sampleRate <= 0)
        throw std::invalid_argument("the sample rate must be positive");
    State& s = *state_;
    s.outputRate = sampleRate;
    s.input = openInput(path);
    const int index = av_find_best_stream(s.input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return;
    s.stream = s.input->streams[index];
    for (unsigned i = 0; i < s.input->nb_streams; ++i) {
        s.input->streams[i]->discard =
            static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVCodec* codec = avcodec_find_decoder(s.stream->codecpar->codec_id);
    if (codec == nullptr)
        checkFFmpeg(AVERROR_DECODER_NOT_FOUND);
    s.decoder.reset(avcodec_alloc_context3(codec));
    if (!s.decoder)
        throw std::bad_alloc();
    checkFFmpeg(avcodec_parameters_to_context(s.decoder.get(), s.stream->codecpar));
    s.decoder->pkt_timebase = s.stream->time_base;
    s.decoder->thread_count = 1;
    checkFFmpeg(avcodec_open2(s.decoder.get(), codec, nullptr));
    if (s.decoder->sample_rate <= 0 || s.decoder->ch_layout.nb_channels <= 0)
        throw MediaError("the audio track has no sample rate or channels");
}

MonoAudioDecoder::~MonoAudioDecoder() = default;

bool MonoAudioDecoder::hasAudio() const {
    return state_->stream != nullptr;
}

MonoAudio MonoAudioDecoder::decode(double startSeconds, double durationSeconds,
                                   const std::stop_token& stop) {
    if (!std::isfinite(startSeconds) || !std::isfinite(durationSeconds) || durationSeconds < 0 ||
        durationSeconds > kLongestStretchSeconds)
        throw std::invalid_argument("the audio stretch must be finite and at most four hours");
    State& s = *state_;
    MonoAudio out;
    out.startSeconds = startSeconds;
    out.sampleRate = s.outputRate;
    out.samples.assign(static_cast<std::size_t>(std::llround(durationSeconds * s.outputRate)),
                       0.0f);
    throwIfCancelled(stop);
    if (s.stream == nullptr || out.samples.empty() || std::abs(startSeconds) > kFarthestSeconds)
        return out;

    const AVRational base = s.stream->time_base;
    const double seekSeconds = startSeconds - kPrerollSeconds;
    const std::int64_t target =
        static_cast<std::int64_t>(std::floor(seekSeconds * base.den / base.num));
    const int sought = avformat_seek_file(s.input.get(), s.stream->index, INT64_MIN, target, target,
                                          AVSEEK_FLAG_BACKWARD);
    if (sought < 0 && seekSeconds > 0)
        checkFFmpeg(sought);
    avcodec_flush_buffers(s.decoder.get());
    const SwrContextPtr resampler = s.makeResampler();
    State::Stretch stretch{
        out, resampler.get(), static_cast<std::int64_t>(s.decoder->sample_rate) * s.outputRate,
        -1,  kNoIndex,        AV_NOPTS_VALUE,
        {}};

    bool more = true;
    while (more) {
        throwIfCancelled(stop);
        const int read = av_read_frame(s.input.get(), s.packet.get());
        if (read == AVERROR_EOF) {
            checkFFmpeg(avcodec_send_packet(s.decoder.get(), nullptr));
            if (s.receiveFrames(stretch))
                s.convert(stretch, nullptr);
            break;
        }
        checkFFmpeg(read);
        if (s.packet->stream_index != s.stream->index) {
            av_packet_unref(s.packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(s.decoder.get(), s.packet.get());
        av_packet_unref(s.packet.get());
        // A damaged packet is skipped, as players do; what decodes around it still counts.
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
            checkFFmpeg(sent);
        more = s.receiveFrames(stretch);
    }
    return out;
}

}  // namespace skelder::media
