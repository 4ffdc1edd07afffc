#include "media/piece_input.hpp"

#include "media/input_file.hpp"
#include "media/media_error.hpp"

namespace skelder::media {

PieceInput::PieceInput(const SourcePiece& piece, AVMediaType type, ProbedFiles& files)
    : context_(files.open(piece.path)),
      openedBytes_(context_->pb != nullptr ? avio_size(context_->pb) : -1),
      outputStart_(piece.outputStart) {
    const int index = av_find_best_stream(context_.get(), type, -1, -1, nullptr, 0);
    if (index < 0)
        return;
    stream_ = context_->streams[index];
    for (unsigned i = 0; i < context_->nb_streams; ++i) {
        context_->streams[i]->discard =
            static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    const AVRational base = stream_->time_base;
    outputStartUnits_ = piece.outputStart.unitsOf(base.num, base.den);
    if (piece.range) {
        const std::int64_t start = piece.range->start.unitsOf(base.num, base.den);
        startUnits_ = start;
        endUnits_ = piece.range->end().unitsOf(base.num, base.den);
        // Back to the keyframe at or before the start; frames before it are dropped later.
        const int sought = avformat_seek_file(context_.get(), index, INT64_MIN, start, start, 0);
        if (sought < 0 && start > 0)
            checkFFmpeg(sought);
    }
}

bool PieceInput::readPacket(AVPacket* packet) {
    for (;;) {
        const int result = av_read_frame(context_.get(), packet);
        if (result == AVERROR_EOF) {
            const std::int64_t bytes = context_->pb != nullptr ? avio_size(context_->pb) : -1;
            if (openedBytes_ > 0 && bytes >= 0 && bytes < openedBytes_)
                throw MediaError("the file changed while it was being read");
            return false;
        }
        checkFFmpeg(result);
        if (packet->stream_index == stream_->index)
            return true;
        av_packet_unref(packet);
    }
}

MediaTime PieceInput::outputTime(std::int64_t units) const {
    const AVRational base = stream_->time_base;
    return outputStart_ +
           MediaTime::fromRational(units - startUnits_.value_or(0), base.num, base.den);
}

std::int64_t PieceInput::outputUnits(std::int64_t units) const {
    return outputStartUnits_ + units - startUnits_.value_or(0);
}

}  // namespace skelder::media
