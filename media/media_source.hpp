#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "media/affine_transform.hpp"
#include "media/asset.hpp"
#include "media/media_time.hpp"
#include "media/probed_files.hpp"

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

// What readers read: a file, or a composition. Its copies share one ProbedFiles, so the
// job, the description and the readers of one export probe each file once.
struct MediaSource {
    std::vector<SourcePiece> pieces;
    std::optional<AffineTransform> transformOverride;
    std::shared_ptr<ProbedFiles> files = std::make_shared<ProbedFiles>();

    // `files` may be the ones the caller already probed the file(s) with.
    static MediaSource file(const std::filesystem::path& path,
                            std::shared_ptr<ProbedFiles> files = nullptr);
    static MediaSource composition(const Composition& composition,
                                   std::shared_ptr<ProbedFiles> files = nullptr);
};

// The track properties of a source: those of its first file's video track (with the
// composition's transform), whether any piece has audio, and its length.
struct SourceProperties {
    std::optional<VideoTrackInfo> video;
    bool hasAudio = false;
    std::optional<MediaTime> duration;
};

// The properties of the source's files (probed through its ProbedFiles); throws MediaError.
SourceProperties describe(const MediaSource& source);

}  // namespace skelder::media
