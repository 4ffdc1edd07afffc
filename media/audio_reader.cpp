#include "media/audio_reader.hpp"

#include <cstring>

#include "media/media_error.hpp"
#include "media/piece_input.hpp"

namespace skelder::media {
namespace {

struct ParametersDeleter {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};

bool sameFormat(const AVCodecParameters& a, const AVCodecParameters& b) {
    return a.codec_id == b.codec_id && a.sample_rate == b.sample_rate &&
           a.ch_layout.nb_channels == b.ch_layout.nb_channels &&
           a.extradata_size == b.extradata_size &&
           (a.extradata_size == 0 || std::memcmp(a.extradata, b.extradata, a.extradata_size) == 0);
}

}  // namespace

struct AudioReader::State {
    MediaSource source;
    StatusCell status;
    std::atomic<bool> cancelRequested{false};
    AudioFormat format;
    std::size_t nextPiece = 0;
    std::unique_ptr<PieceInput> input;

    explicit State(MediaSource s) : source(std::move(s)) {}

    void fail(const std::string& text) {
        status.setError(text);
        status.compareAndSet(StatusCell::code(ReaderStatus::reading),
                             StatusCell::code(ReaderStatus::failed));
    }

    // Opens the next piece whose audio matches the format; false when none is left.
    bool openNextPiece() {
        input.reset();
        while (nextPiece < source.pieces.size()) {
            auto candidate =
                std::make_unique<PieceInput>(source.pieces[nextPiece++], AVMEDIA_TYPE_AUDIO);
            if (candidate->stream() == nullptr)
                continue;
            if (!format.parameters) {
                AVCodecParameters* copy = avcodec_parameters_alloc();
                if (copy == nullptr)
                    throw std::bad_alloc();
                std::unique_ptr<AVCodecParameters, ParametersDeleter> owned(copy);
                checkFFmpeg(avcodec_parameters_copy(copy, candidate->stream()->codecpar));
                format.parameters =
                    std::shared_ptr<const AVCodecParameters>(owned.release(), ParametersDeleter());
                format.timeBase = candidate->stream()->time_base;
            } else if (!sameFormat(*format.parameters, *candidate->stream()->codecpar)) {
                continue;
            }
            input = std::move(candidate);
            return true;
        }
        return false;
    }
};

AudioReader::AudioReader(MediaSource source) : state_(std::make_unique<State>(std::move(source))) {}
AudioReader::~AudioReader() = default;

bool AudioReader::startReading() {
    State& s = *state_;
    if (!s.status.compareAndSet(StatusCell::code(ReaderStatus::unknown),
                                StatusCell::code(ReaderStatus::reading))) {
        return false;
    }
    try {
        if (!s.openNextPiece()) {
            s.fail(ffmpegErrorText(AVERROR_STREAM_NOT_FOUND));
            return false;
        }
    } catch (const MediaError& error) {
        s.fail(error.what());
        return false;
    }
    return true;
}

const AudioFormat& AudioReader::format() const {
    return state_->format;
}

std::optional<AudioPacket> AudioReader::copyNextPacket() {
    State& s = *state_;
    if (s.status.load() != StatusCell::code(ReaderStatus::reading))
        return std::nullopt;
    try {
        PacketPtr packet = allocatePacket();
        while (s.input && !s.cancelRequested.load()) {
            if (!s.input->readPacket(packet.get())) {
                s.openNextPiece();
                continue;
            }
            const std::int64_t units = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (units != AV_NOPTS_VALUE && s.input->isBeforeRange(units)) {
                av_packet_unref(packet.get());
                continue;
            }
            if (units != AV_NOPTS_VALUE && s.input->isPastRange(units)) {
                s.openNextPiece();
                av_packet_unref(packet.get());
                continue;
            }
            // Onto the output timeline, in the time base of the first piece with audio.
            const AVRational pieceBase = s.input->stream()->time_base;
            for (std::int64_t* field : {&packet->pts, &packet->dts}) {
                if (*field != AV_NOPTS_VALUE) {
                    *field =
                        av_rescale_q(s.input->outputUnits(*field), pieceBase, s.format.timeBase);
                }
            }
            packet->duration = av_rescale_q(packet->duration, pieceBase, s.format.timeBase);
            packet->stream_index = 0;
            return AudioPacket{std::move(packet), s.format.timeBase};
        }
    } catch (const MediaError& error) {
        s.fail(error.what());
        return std::nullopt;
    }
    s.status.compareAndSet(StatusCell::code(ReaderStatus::reading),
                           StatusCell::code(s.cancelRequested.load() ? ReaderStatus::cancelled
                                                                     : ReaderStatus::completed));
    return std::nullopt;
}

void AudioReader::cancelReading() {
    state_->cancelRequested.store(true);
    state_->status.compareAndSet(StatusCell::code(ReaderStatus::unknown),
                                 StatusCell::code(ReaderStatus::cancelled));
}

ReaderStatus AudioReader::status() const {
    const int value = state_->status.load();
    if (value == StatusCell::code(ReaderStatus::reading) && state_->cancelRequested.load()) {
        return ReaderStatus::cancelled;
    }
    return static_cast<ReaderStatus>(value);
}

std::string AudioReader::errorDescription() const {
    return state_->status.error();
}

}  // namespace skelder::media
