#pragma once

#include <optional>

#include "media/ffmpeg_handles.hpp"
#include "media/media_source.hpp"

namespace skelder::media {

// One piece of a source opened for one kind of stream: positioned at the keyframe before
// the piece's range, with the range in stream units and the mapping to output time.
class PieceInput {
  public:
    // Throws MediaError. `stream()` is null when the file has no stream of that kind.
    PieceInput(const SourcePiece& piece, AVMediaType type, ProbedFiles& files);

    AVStream* stream() const { return stream_; }
    // The next packet of the stream; false at the end of the file. Throws MediaError when the
    // file ends early because it shrank while it was read (a card pulled, a copy overwritten).
    bool readPacket(AVPacket* packet);

    // Whether a timestamp (stream units) lies before the range, inside it, or past it.
    bool isBeforeRange(std::int64_t units) const { return startUnits_ && units < *startUnits_; }
    bool isPastRange(std::int64_t units) const { return endUnits_ && units >= *endUnits_; }
    // Output time of a timestamp in stream units.
    MediaTime outputTime(std::int64_t units) const;
    // Shifts a timestamp in stream units to the output timeline, in stream units.
    std::int64_t outputUnits(std::int64_t units) const;

  private:
    InputContext context_;
    std::int64_t openedBytes_ = -1;  // the file's size when it was opened
    AVStream* stream_ = nullptr;
    std::optional<std::int64_t> startUnits_;
    std::optional<std::int64_t> endUnits_;
    std::int64_t outputStartUnits_ = 0;
    MediaTime outputStart_;
};

}  // namespace skelder::media
