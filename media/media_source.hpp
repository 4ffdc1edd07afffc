#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "media/affine_transform.hpp"
#include "media/asset.hpp"
#include "media/media_time.hpp"

namespace skelder::media {

struct TimeRange {
    MediaTime start;
    MediaTime duration;
    MediaTime end() const { return start + duration; }
};

// One stretch of one file in what a reader reads: the whole file as it is, or a time range
// of it placed at `outputStart`.
struct SourcePiece {
    std::filesystem::path path;
    std::optional<TimeRange> range;
    MediaTime outputStart = MediaTime::zero();
};

// Time ranges of several files laid back to back, read as one asset; the video carries one
// preferred transform.
class Composition {
  public:
    // Appends a range of a file at the current end of the composition.
    void appendTimeRange(const std::filesystem::path& path, TimeRange range);
    void setPreferredTransform(AffineTransform transform) { transform_ = transform; }

    const std::vector<SourcePiece>& pieces() const { return pieces_; }
    const AffineTransform& preferredTransform() const { return transform_; }
    MediaTime duration() const { return end_; }

  private:
    std::vector<SourcePiece> pieces_;
    AffineTransform transform_;
    MediaTime end_ = MediaTime::zero();
};

// What readers read: a file, or a composition.
struct MediaSource {
    std::vector<SourcePiece> pieces;
    std::optional<AffineTransform> transformOverride;

    static MediaSource file(const std::filesystem::path& path);
    static MediaSource composition(const Composition& composition);
};

// The track properties of a source: those of its first file's video track (with the
// composition's transform), whether any piece has audio, and its length.
struct SourceProperties {
    std::optional<VideoTrackInfo> video;
    bool hasAudio = false;
    std::optional<MediaTime> duration;
};

// Opens the files of the source for their properties; throws MediaError.
SourceProperties describe(const MediaSource& source);

}  // namespace skelder::media
