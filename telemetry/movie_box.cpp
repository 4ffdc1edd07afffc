#include "telemetry/movie_box.hpp"

#include <algorithm>
#include <optional>

#include "core/cancellation.hpp"
#include "telemetry/extraction_error.hpp"
#include "telemetry/mp4_box.hpp"

namespace skelder {
namespace {

// Box headers are read through a window of this many bytes, so a run of small boxes costs one
// read rather than one per box.
constexpr std::int64_t kHeaderWindowBytes = 64 * 1024;
constexpr std::int64_t kLongestBoxHeader = 16;

class HeaderWindow {
  public:
    explicit HeaderWindow(ByteSource& source) : source_(source) {}

    // The header bytes of a box at `position`: 16, or what is left of the source.
    ByteSpan at(std::int64_t position) {
        const std::int64_t wanted = std::min(kLongestBoxHeader, source_.size() - position);
        if (position < start_ || position + wanted > start_ + filled()) {
            bytes_.resize(
                static_cast<std::size_t>(std::min(kHeaderWindowBytes, source_.size() - position)));
            source_.read(position, bytes_);
            start_ = position;
        }
        return ByteSpan(bytes_).subspan(static_cast<std::size_t>(position - start_),
                                        static_cast<std::size_t>(wanted));
    }

  private:
    std::int64_t filled() const { return static_cast<std::int64_t>(bytes_.size()); }

    ByteSource& source_;
    std::vector<std::uint8_t> bytes_;
    std::int64_t start_ = 0;
};

}  // namespace

std::vector<std::uint8_t> readMovieBox(ByteSource& source, std::stop_token stop) {
    const std::int64_t end = source.size();
    HeaderWindow window(source);
    std::optional<MP4BoxHeader> moov;
    for (std::int64_t position = 0; position <= end - 8;) {
        throwIfCancelled(stop);
        const MP4BoxHeader box = parseBoxHeaderBytes(window.at(position), position, end - position);
        if (!moov && box.type == "moov")
            moov = box;
        position += box.size;
    }
    if (!moov)
        throw TelemetryExtractionError::decodeFailed("MP4 metadata box 'moov' not found");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(moov->size));
    source.read(moov->offset, bytes);
    return bytes;
}

}  // namespace skelder
