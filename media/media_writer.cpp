#include "media/media_writer.hpp"

#include <condition_variable>
#include <cstring>

#include <fmt/format.h>
#include <deque>
#include <mutex>
#include <thread>

#include "media/ffmpeg_handles.hpp"
#include "media/library_setup.hpp"
#include "media/media_error.hpp"
#include "media/memory_budget.hpp"
#include "media/pixel_conversion.hpp"
#include "media/reader_status.hpp"

extern "C" {
#include <libavutil/opt.h>
}

namespace skelder::media {
namespace {

// Audio may run this far ahead of the video handed to the encoder, which bounds what the
// muxer has to hold back to interleave.
constexpr double kAudioLeadSeconds = 1.0;
constexpr AVRational kVideoTimeBase{1, 60000};

constexpr int code(WriterStatus status) {
    return static_cast<int>(status);
}

AVColorPrimaries primariesFor(const ColorProperties& color) {
    if (color.primaries != AVCOL_PRI_UNSPECIFIED)
        return color.primaries;
    return color.matrix == AVCOL_SPC_BT709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
}
AVColorTransferCharacteristic transferFor(const ColorProperties& color) {
    if (color.transfer != AVCOL_TRC_UNSPECIFIED)
        return color.transfer;
    return color.matrix == AVCOL_SPC_BT709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
}

}  // namespace

struct MediaWriter::State {
    std::filesystem::path path;
    OutputContext output;
    StatusCell status;
    std::mutex muxMutex;  // every write into the muxer

    // Video.
    AVStream* videoStream = nullptr;
    CodecContext encoder;
    std::unique_ptr<ToYuv420Converter> converter;
    std::unique_ptr<YuvPicturePool> pictures;
    std::int64_t lastVideoPts = AV_NOPTS_VALUE;

    mutable std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<VideoFrame> queue;
    // Frames waiting for the encoder: few, because render workers keep their own frames in
    // flight.
    std::size_t queueCapacity = 3;
    bool videoFinished = false;
    bool stopEncoder = false;
    double videoAppendedSeconds = 0;
    // Started by startWriting and joined only by the thread that owns the writer (in
    // finishWriting or the destructor); a cancel only asks it to stop.
    std::thread encoderThread;
    std::atomic<bool> stopRequested{false};

    // Audio.
    AVStream* audioStream = nullptr;
    std::atomic<double> audioWrittenSeconds{0};
    bool audioFinished = false;

    void fail(const std::string& text) {
        status.setError(text);
        status.compareAndSet(code(WriterStatus::writing), code(WriterStatus::failed));
        status.compareAndSet(code(WriterStatus::unknown), code(WriterStatus::failed));
    }
    bool isWriting() const { return status.load() == code(WriterStatus::writing); }

    // Readiness of the inputs; the caller holds queueMutex.
    bool videoReadyLocked() const {
        return isWriting() && !videoFinished && queue.size() < queueCapacity;
    }
    // Audio goes on while it is at most kAudioLeadSeconds ahead of the video.
    bool audioReadyLocked() const {
        return isWriting() && !audioFinished &&
               (!encoder || videoFinished ||
                audioWrittenSeconds.load() <= videoAppendedSeconds + kAudioLeadSeconds);
    }

    void writePacket(AVPacket* packet, AVStream* stream, AVRational from) {
        av_packet_rescale_ts(packet, from, stream->time_base);
        packet->stream_index = stream->index;
        std::lock_guard lock(muxMutex);
        // Nothing more goes into a file that is finished or closed.
        if (output->pb == nullptr || status.load() != code(WriterStatus::writing))
            return;
        checkFFmpeg(av_interleaved_write_frame(output.get(), packet));
    }

    // Sends one picture (or the end, for nullptr) and writes every packet that comes out.
    // Draining the encoder at the end encodes every picture it still holds; a cancel ends that
    // at once.
    void encode(AVFrame* frame) {
        checkFFmpeg(avcodec_send_frame(encoder.get(), frame));
        PacketPtr packet = allocatePacket();
        while (!stopRequested.load()) {
            const int received = avcodec_receive_packet(encoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return;
            checkFFmpeg(received);
            writePacket(packet.get(), videoStream, encoder->time_base);
        }
    }

    void runEncoder() {
        try {
            for (;;) {
                VideoFrame frame;
                {
                    std::unique_lock lock(queueMutex);
                    queueChanged.wait(
                        lock, [&] { return stopEncoder || videoFinished || !queue.empty(); });
                    if (stopEncoder)
                        return;
                    if (queue.empty())
                        break;  // finished and drained
                    frame = std::move(queue.front());
                    queue.pop_front();
                }
                queueChanged.notify_all();
                if (frame.encoderPicture() == nullptr)
                    prepare(frame);
                std::int64_t pts =
                    frame.presentationTime.unitsOf(kVideoTimeBase.num, kVideoTimeBase.den);
                if (lastVideoPts != AV_NOPTS_VALUE && pts <= lastVideoPts)
                    pts = lastVideoPts + 1;
                lastVideoPts = pts;
                // The encoder copies the picture; it goes back to the pool afterwards.
                AVFrame* picture = const_cast<AVFrame*>(frame.encoderPicture());
                picture->pts = pts;
                // A decoded picture carries the source's frame type, which x264 would take as
                // an order: the source's I/P/B pattern instead of its own choice of frames.
                picture->pict_type = AV_PICTURE_TYPE_NONE;
                encode(picture);
            }
            encode(nullptr);
        } catch (const MediaError& error) {
            fail(error.what());
            std::lock_guard lock(queueMutex);
            queue.clear();
        } catch (const std::exception& error) {
            fail(error.what());
        }
        queueChanged.notify_all();
    }

    void prepare(VideoFrame& frame) const {
        // Usually the decoder has let go of the decoded picture by now: the HUD goes straight
        // into it. Otherwise into a copy.
        if (AVFrame* own = converter->convertIntoSourcePicture(frame)) {
            frame.setEncoderPicture(own);
            return;
        }
        AVFrame* picture = pictures->makePicture();
        try {
            converter->convert(frame, *picture);
        } catch (...) {
            av_frame_free(&picture);
            throw;
        }
        frame.setEncoderPicture(picture);
    }

    // Asks the encoder thread to stop as soon as it can, dropping the frames still queued.
    // Any thread; never waits.
    void requestEncoderStop() {
        std::deque<VideoFrame> dropped;
        {
            std::lock_guard lock(queueMutex);
            stopEncoder = true;
            stopRequested.store(true);
            dropped.swap(queue);
        }
        queueChanged.notify_all();
    }

    // Lets the encoder thread end (after draining, unless a stop was asked for) and waits for
    // it. Only the owning thread.
    void joinEncoder() {
        {
            std::lock_guard lock(queueMutex);
            videoFinished = true;
        }
        queueChanged.notify_all();
        if (encoderThread.joinable())
            encoderThread.join();
    }

    // Closes the file, finished or not. Only the owning thread, after joinEncoder.
    void closeFile() {
        std::lock_guard lock(muxMutex);
        if (output->pb != nullptr && !(output->oformat->flags & AVFMT_NOFILE))
            avio_closep(&output->pb);
    }
};

MediaWriter::MediaWriter(const std::filesystem::path& outputPath)
    : state_(std::make_unique<State>()) {
    configureMediaLibrary();
    state_->path = outputPath;
    AVFormatContext* raw = nullptr;
    checkFFmpeg(avformat_alloc_output_context2(&raw, nullptr, "mp4", outputPath.c_str()));
    state_->output.reset(raw);
}

MediaWriter::~MediaWriter() {
    cancelWriting();
    state_->joinEncoder();
    state_->closeFile();
}

bool MediaWriter::addVideoInput(const VideoInputSettings& settings) {
    State& s = *state_;
    try {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (codec == nullptr)
            throw MediaError(ffmpegErrorText(AVERROR_ENCODER_NOT_FOUND));
        CodecContext encoder(avcodec_alloc_context3(codec));
        if (!encoder)
            throw std::bad_alloc();
        const ColorProperties color = settings.color.resolved(settings.width, settings.height);
        // 4:2:0 H.264 holds only even sizes: an odd picture loses its last column or row.
        encoder->width = settings.width & ~1;
        encoder->height = settings.height & ~1;
        if (encoder->width <= 0 || encoder->height <= 0)
            throw MediaError(ffmpegErrorText(AVERROR(EINVAL)));
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->time_base = kVideoTimeBase;
        const double fps = settings.frameRateHint > 0 ? settings.frameRateHint : 30;
        encoder->framerate = av_d2q(fps, 60000);
        encoder->bit_rate = settings.averageBitRate;
        encoder->colorspace = color.matrix;
        encoder->color_range = color.range;
        encoder->color_primaries = primariesFor(color);
        encoder->color_trc = transferFor(color);
        const EncoderThreading threading = encoderThreadingFor(encoder->width, encoder->height,
                                                               std::thread::hardware_concurrency());
        encoder->thread_count = threading.threads;
        if (threading.slicedThreads)
            encoder->thread_type = FF_THREAD_SLICE;
        if (threading.bframes >= 0)
            encoder->max_b_frames = threading.bframes;
        if (threading.lookahead >= 0) {
            checkFFmpeg(av_opt_set_int(encoder->priv_data, "rc-lookahead", threading.lookahead, 0));
        }
        if (!threading.lookaheadThread)
            checkFFmpeg(av_opt_set(encoder->priv_data, "x264-params", "sync-lookahead=0", 0));
        if (s.output->oformat->flags & AVFMT_GLOBALHEADER)
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        checkFFmpeg(av_opt_set(encoder->priv_data, "preset", settings.preset.c_str(), 0));
        checkFFmpeg(av_opt_set(encoder->priv_data, "profile", "high", 0));
        checkFFmpeg(avcodec_open2(encoder.get(), codec, nullptr));

        AVStream* stream = avformat_new_stream(s.output.get(), nullptr);
        if (stream == nullptr)
            throw std::bad_alloc();
        checkFFmpeg(avcodec_parameters_from_context(stream->codecpar, encoder.get()));
        stream->time_base = encoder->time_base;
        stream->avg_frame_rate = encoder->framerate;
        if (settings.transform != AffineTransform::identity()) {
            const auto matrix = settings.transform.displayMatrix();
            std::uint8_t* side =
                av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof matrix);
            if (side == nullptr)
                throw std::bad_alloc();
            std::memcpy(side, matrix.data(), sizeof matrix);
        }
        s.pictures = std::make_unique<YuvPicturePool>(encoder->width, encoder->height);
        s.queueCapacity =
            static_cast<std::size_t>(encoderQueueCapacityFor(encoder->width, encoder->height));
        s.converter = std::make_unique<ToYuv420Converter>(settings.width, settings.height, color);
        s.encoder = std::move(encoder);
        s.videoStream = stream;
        return true;
    } catch (const MediaError& error) {
        s.status.setError(error.what());
        return false;
    }
}

std::optional<std::string> MediaWriter::audioCopyRefusal(const AudioFormat& format) const {
    const AVCodecParameters* parameters = format.parameters.get();
    if (parameters == nullptr || parameters->codec_id == AV_CODEC_ID_NONE)
        return "its format is unknown";
    const std::string refusal =
        fmt::format("MP4 files cannot hold {} audio", avcodec_get_name(parameters->codec_id));
    // The muxer's own verdict: set up a header for this one stream in memory. It refuses codecs
    // it has no tag for (PCM) and those it holds only experimentally (FLAC, TrueHD).
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, state_->output->oformat, nullptr, nullptr) < 0)
        return refusal;
    const OutputContext trial(raw);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, parameters) < 0)
        return refusal;
    stream->codecpar->codec_tag = 0;
    stream->time_base = format.timeBase;
    if (avio_open_dyn_buf(&raw->pb) < 0)
        return refusal;
    const int initialised = avformat_init_output(raw, nullptr);
    std::uint8_t* bytes = nullptr;
    avio_close_dyn_buf(raw->pb, &bytes);
    raw->pb = nullptr;
    av_free(bytes);
    if (initialised < 0)
        return refusal;
    return std::nullopt;
}

bool MediaWriter::addAudioInput(const AudioFormat& format) {
    State& s = *state_;
    if (!format.parameters)
        return false;
    try {
        AVStream* stream = avformat_new_stream(s.output.get(), nullptr);
        if (stream == nullptr)
            throw std::bad_alloc();
        checkFFmpeg(avcodec_parameters_copy(stream->codecpar, format.parameters.get()));
        stream->codecpar->codec_tag = 0;
        stream->time_base = format.timeBase;
        s.audioStream = stream;
        return true;
    } catch (const MediaError& error) {
        s.status.setError(error.what());
        return false;
    }
}

bool MediaWriter::startWriting() {
    State& s = *state_;
    if (!s.status.compareAndSet(code(WriterStatus::unknown), code(WriterStatus::writing)))
        return false;
    try {
        if (!(s.output->oformat->flags & AVFMT_NOFILE)) {
            checkFFmpeg(avio_open(&s.output->pb, s.path.c_str(), AVIO_FLAG_WRITE));
        }
        checkFFmpeg(writeHeaderWithIndexInFront(s.output.get()));
    } catch (const MediaError& error) {
        s.fail(error.what());
        return false;
    }
    if (s.encoder)
        s.encoderThread = std::thread([&s] { s.runEncoder(); });
    return true;
}

void MediaWriter::prepareVideoFrame(VideoFrame& frame) const {
    if (!state_->converter || frame.encoderPicture() != nullptr)
        return;
    state_->prepare(frame);
}

bool MediaWriter::isVideoReadyForMoreData() const {
    const State& s = *state_;
    std::lock_guard lock(s.queueMutex);
    return s.videoReadyLocked();
}

bool MediaWriter::waitForVideoReadiness(std::chrono::milliseconds limit) const {
    State& s = *state_;
    std::unique_lock lock(s.queueMutex);
    // A failure or a cancel that does not touch the queue ends the wait at `limit`.
    return s.queueChanged.wait_for(lock, limit, [&] { return s.videoReadyLocked(); });
}

bool MediaWriter::appendVideoFrame(VideoFrame frame, MediaTime presentationTime) {
    State& s = *state_;
    if (!s.isWriting() || !s.encoder)
        return false;
    frame.presentationTime = presentationTime;
    {
        std::lock_guard lock(s.queueMutex);
        if (s.videoFinished)
            return false;
        s.queue.push_back(std::move(frame));
        s.videoAppendedSeconds = presentationTime.seconds();
    }
    s.queueChanged.notify_all();
    return true;
}

void MediaWriter::markVideoFinished() {
    State& s = *state_;
    {
        std::lock_guard lock(s.queueMutex);
        s.videoFinished = true;
    }
    s.queueChanged.notify_all();
}

bool MediaWriter::isAudioReadyForMoreData() const {
    const State& s = *state_;
    std::lock_guard lock(s.queueMutex);
    return s.audioReadyLocked();
}

bool MediaWriter::waitForAudioReadiness(std::chrono::milliseconds limit) const {
    State& s = *state_;
    std::unique_lock lock(s.queueMutex);
    // Every appended video frame wakes the wait: that is what lets audio go on.
    return s.queueChanged.wait_for(lock, limit, [&] { return s.audioReadyLocked(); });
}

bool MediaWriter::appendAudioPacket(AudioPacket packet) {
    State& s = *state_;
    if (!s.isWriting() || s.audioStream == nullptr)
        return false;
    try {
        const AVRational base = packet.timeBase;
        if (packet.packet->dts != AV_NOPTS_VALUE) {
            s.audioWrittenSeconds.store(packet.packet->dts * av_q2d(base));
        }
        s.writePacket(packet.packet.get(), s.audioStream, base);
        return true;
    } catch (const MediaError& error) {
        s.fail(error.what());
        return false;
    }
}

void MediaWriter::markAudioFinished() {
    state_->audioFinished = true;
}

void MediaWriter::finishWriting() {
    State& s = *state_;
    s.joinEncoder();
    {
        // The status is read under the muxer's lock: a cancel arriving from another thread
        // either comes first (no trailer, the file stays unfinished) or finds the file written.
        std::lock_guard lock(s.muxMutex);
        if (s.isWriting() && s.output->pb != nullptr) {
            try {
                checkFFmpeg(av_write_trailer(s.output.get()));
                if (!(s.output->oformat->flags & AVFMT_NOFILE))
                    checkFFmpeg(avio_closep(&s.output->pb));
            } catch (const MediaError& error) {
                s.fail(error.what());
            }
        }
    }
    s.closeFile();
    s.status.compareAndSet(code(WriterStatus::writing), code(WriterStatus::completed));
}

void MediaWriter::cancelWriting() {
    State& s = *state_;
    if (!s.status.compareAndSet(code(WriterStatus::writing), code(WriterStatus::cancelled)) &&
        !s.status.compareAndSet(code(WriterStatus::unknown), code(WriterStatus::cancelled))) {
        return;
    }
    s.requestEncoderStop();
}

WriterStatus MediaWriter::status() const {
    return static_cast<WriterStatus>(state_->status.load());
}
std::string MediaWriter::errorDescription() const {
    return state_->status.error();
}

}  // namespace skelder::media
