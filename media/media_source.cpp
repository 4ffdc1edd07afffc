#include "media/media_source.hpp"

namespace skelder::media {

void Composition::appendTimeRange(const std::filesystem::path& path, TimeRange range) {
    pieces_.push_back({path, range, end_});
    end_ = end_ + range.duration;
}

MediaSource MediaSource::file(const std::filesystem::path& path,
                              std::shared_ptr<ProbedFiles> files) {
    MediaSource source{{SourcePiece{path, std::nullopt, MediaTime::zero()}}, std::nullopt};
    if (files)
        source.files = std::move(files);
    return source;
}

MediaSource MediaSource::composition(const Composition& composition,
                                     std::shared_ptr<ProbedFiles> files) {
    MediaSource source{composition.pieces(), composition.preferredTransform()};
    if (files)
        source.files = std::move(files);
    return source;
}

SourceProperties describe(const MediaSource& source) {
    SourceProperties properties;
    MediaTime total = MediaTime::zero();
    bool durationKnown = true;
    for (std::size_t i = 0; i < source.pieces.size(); ++i) {
        const SourcePiece& piece = source.pieces[i];
        const Asset& asset = source.files->asset(piece.path);
        if (i == 0)
            properties.video = asset.videoTrack();
        properties.hasAudio = properties.hasAudio || asset.audioTrack().has_value();
        if (piece.range) {
            total = max(total, piece.outputStart + piece.range->duration);
        } else if (asset.duration()) {
            total = max(total, piece.outputStart + *asset.duration());
        } else {
            durationKnown = false;
        }
    }
    if (properties.video && source.transformOverride) {
        properties.video->preferredTransform = *source.transformOverride;
    }
    if (durationKnown && !source.pieces.empty())
        properties.duration = total;
    return properties;
}

}  // namespace skelder::media
