#include "media/audio_reader.hpp"

#include <algorithm>
#include <cstring>

#include "media/audio_silence.hpp"
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
    ReaderLifecycle lifecycle;
    AudioFormat format;
    std::optional<AudioSilence> silence;

    std::size_t nextPiece = 0;
    bool pieceOpen = false;
    std::unique_ptr<PieceInput> input;  // null while the open piece has no matching audio
    // The piece findFormat opened, kept for reading rather than opened again.
    std::unique_ptr<PieceInput> formatPiece;
    std::size_t formatPieceIndex = 0;
    // Where the current piece ends on the output timeline (format units), for pieces cut
    // from their file; silence fills up to there when the piece's own audio stops short.
    std::optional<std::int64_t> pieceEnd;
    std::int64_t written = INT64_MIN;  // end of what was handed out so far (format units)
    std::int64_t silenceFrom = 0;
    std::int64_t silenceTo = 0;

    explicit State(MediaSource s) : source(std::move(s)) {}

    // The format is that of the first piece with audio.
    bool findFormat() {
        for (std::size_t i = 0; i < source.pieces.size(); ++i) {
            auto opened =
                std::make_unique<PieceInput>(source.pieces[i], AVMEDIA_TYPE_AUDIO, *source.files);
            if (opened->stream() == nullptr)
                continue;
            AVCodecParameters* copy = avcodec_parameters_alloc();
            if (copy == nullptr)
                throw std::bad_alloc();
            std::unique_ptr<AVCodecParameters, ParametersDeleter> owned(copy);
            checkFFmpeg(avcodec_parameters_copy(copy, opened->stream()->codecpar));
            format.parameters =
                std::shared_ptr<const AVCodecParameters>(owned.release(), ParametersDeleter());
            format.timeBase = opened->stream()->time_base;
            silence = AudioSilence::forFormat(format);
            formatPiece = std::move(opened);
            formatPieceIndex = i;
            return true;
        }
        return false;
    }

    std::int64_t formatUnits(MediaTime time) const {
        return time.unitsOf(format.timeBase.num, format.timeBase.den);
    }

    // Ends the current piece: what its own audio left open up to its end becomes silence.
    void closePiece() {
        pieceOpen = false;
        input.reset();
        if (pieceEnd && silence) {
            silenceFrom = std::max(silenceFrom, written);
            silenceTo = *pieceEnd;
        }
        pieceEnd.reset();
    }

    // Opens the next piece; false when none is left. Pieces without matching audio only
    // contribute their silence.
    bool openNextPiece() {
        if (nextPiece >= source.pieces.size())
            return false;
        const std::size_t index = nextPiece++;
        const SourcePiece& piece = source.pieces[index];
        pieceOpen = true;
        if (piece.range) {
            silenceFrom = formatUnits(piece.outputStart);
            pieceEnd = formatUnits(piece.outputStart + piece.range->duration);
        }
        auto candidate =
            formatPiece && formatPieceIndex == index
                ? std::move(formatPiece)
                : std::make_unique<PieceInput>(piece, AVMEDIA_TYPE_AUDIO, *source.files);
        if (candidate->stream() != nullptr &&
            sameFormat(*format.parameters, *candidate->stream()->codecpar)) {
            input = std::move(candidate);
        }
        return true;
    }

    std::optional<AudioPacket> nextSilence() {
        if (!silence || silenceFrom + silence->frameDuration() > silenceTo)
            return std::nullopt;
        AudioPacket packet = silence->packetAt(silenceFrom);
        silenceFrom += silence->frameDuration();
        written = silenceFrom;
        return packet;
    }

    std::optional<AudioPacket> nextPacket() {
        PacketPtr packet = allocatePacket();
        for (;;) {
            if (lifecycle.cancelRequested())
                return std::nullopt;
            if (auto filler = nextSilence())
                return filler;
            if (!pieceOpen) {
                if (!openNextPiece())
                    return std::nullopt;
                continue;
            }
            if (!input) {
                closePiece();  // a piece without audio: its silence
                continue;
            }
            if (!input->readPacket(packet.get())) {
                closePiece();
                continue;
            }
            const std::int64_t units = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (units != AV_NOPTS_VALUE && input->isBeforeRange(units)) {
                av_packet_unref(packet.get());
                continue;
            }
            if (units != AV_NOPTS_VALUE && input->isPastRange(units)) {
                av_packet_unref(packet.get());
                closePiece();
                continue;
            }
            // Onto the output timeline, in the time base of the first piece with audio.
            const AVRational pieceBase = input->stream()->time_base;
            for (std::int64_t* field : {&packet->pts, &packet->dts}) {
                if (*field != AV_NOPTS_VALUE) {
                    *field = av_rescale_q(input->outputUnits(*field), pieceBase, format.timeBase);
                }
            }
            packet->duration = av_rescale_q(packet->duration, pieceBase, format.timeBase);
            packet->stream_index = 0;
            if (packet->pts != AV_NOPTS_VALUE)
                written = std::max(written, packet->pts + packet->duration);
            return AudioPacket{std::move(packet), format.timeBase};
        }
    }
};

AudioReader::AudioReader(MediaSource source) : state_(std::make_unique<State>(std::move(source))) {}
AudioReader::~AudioReader() = default;

bool AudioReader::startReading() {
    State& s = *state_;
    if (!s.lifecycle.begin())
        return false;
    try {
        if (!s.findFormat()) {
            s.lifecycle.fail(ffmpegErrorText(AVERROR_STREAM_NOT_FOUND));
            return false;
        }
    } catch (const MediaError& error) {
        s.lifecycle.fail(error.what());
        return false;
    }
    return true;
}

const AudioFormat& AudioReader::format() const {
    return state_->format;
}

std::optional<AudioPacket> AudioReader::copyNextPacket() {
    State& s = *state_;
    if (!s.lifecycle.isReading())
        return std::nullopt;
    try {
        if (auto packet = s.nextPacket())
            return packet;
    } catch (const MediaError& error) {
        s.lifecycle.fail(error.what());
        return std::nullopt;
    }
    s.lifecycle.finish();
    return std::nullopt;
}

void AudioReader::cancelReading() {
    state_->lifecycle.cancel();
}

ReaderStatus AudioReader::status() const {
    return state_->lifecycle.status();
}

std::string AudioReader::errorDescription() const {
    return state_->lifecycle.error();
}

}  // namespace skelder::media
