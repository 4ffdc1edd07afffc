#include "media/image_generator.hpp"

#include <libyuv.h>

#include <algorithm>
#include <cmath>

#include "media/asset.hpp"
#include "media/media_error.hpp"
#include "media/video_reader.hpp"

namespace skelder::media {
namespace {

constexpr int kThumbnailWidth = 320;
constexpr int kThumbnailHeight = 180;
constexpr int kThumbnailQuality = 85;

BgraImage copyOf(const VideoFrame& frame) {
    BgraImage image{frame.width(), frame.height(), {}};
    image.pixels.resize(static_cast<std::size_t>(image.stride()) * image.height);
    libyuv::ARGBCopy(frame.data(), frame.stride(), image.pixels.data(), image.stride(), image.width,
                     image.height);
    return image;
}

BgraImage upright(BgraImage image, const AffineTransform& transform) {
    if (transform.isMirrored()) {
        BgraImage mirrored{image.width, image.height,
                           std::vector<std::uint8_t>(image.pixels.size())};
        libyuv::ARGBMirror(image.pixels.data(), image.stride(), mirrored.pixels.data(),
                           mirrored.stride(), image.width, image.height);
        image = std::move(mirrored);
    }
    const int degrees = transform.clockwiseDegrees();
    if (degrees == 0)
        return image;
    const bool quarter = degrees == 90 || degrees == 270;
    BgraImage rotated{quarter ? image.height : image.width, quarter ? image.width : image.height,
                      std::vector<std::uint8_t>(image.pixels.size())};
    const auto mode = degrees == 90    ? libyuv::kRotate90
                      : degrees == 180 ? libyuv::kRotate180
                                       : libyuv::kRotate270;
    libyuv::ARGBRotate(image.pixels.data(), image.stride(), rotated.pixels.data(), rotated.stride(),
                       image.width, image.height, mode);
    return rotated;
}

BgraImage fitted(BgraImage image, int maximumWidth, int maximumHeight) {
    double scale = 1.0;
    if (maximumWidth > 0)
        scale = std::min(scale, double(maximumWidth) / image.width);
    if (maximumHeight > 0)
        scale = std::min(scale, double(maximumHeight) / image.height);
    if (scale >= 1.0)
        return image;
    const int width = std::max(1, static_cast<int>(std::lround(image.width * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(image.height * scale)));
    BgraImage small{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
    libyuv::ARGBScale(image.pixels.data(), image.stride(), image.width, image.height,
                      small.pixels.data(), small.stride(), width, height, libyuv::kFilterBox);
    return small;
}

}  // namespace

std::optional<BgraImage> generateImage(const std::filesystem::path& path, MediaTime time,
                                       const ImageGeneratorOptions& options) {
    const Asset asset = Asset::open(path);
    if (!asset.videoTrack())
        return std::nullopt;
    const VideoTrackInfo& video = *asset.videoTrack();
    if (video.naturalWidth <= 0 || video.naturalHeight <= 0)
        return std::nullopt;

    // A range from the requested time to the end: the reader seeks to the keyframe before it
    // and drops the frames ahead of it.
    const MediaTime forever{std::int64_t{600} * 3600 * 24 * 365 * 100, 600};  // a century
    MediaSource source{{SourcePiece{path, TimeRange{time, forever}, time}}, std::nullopt};
    VideoReader reader(std::move(source), video.naturalWidth, video.naturalHeight);
    if (!reader.startReading())
        throw MediaError(reader.errorDescription());
    std::optional<VideoFrame> frame = reader.copyNextFrame();
    if (!frame) {
        if (reader.status() == ReaderStatus::failed)
            throw MediaError(reader.errorDescription());
        return std::nullopt;
    }
    BgraImage image = copyOf(*frame);
    if (options.appliesPreferredTrackTransform)
        image = upright(std::move(image), video.preferredTransform);
    return fitted(std::move(image), options.maximumWidth, options.maximumHeight);
}

std::optional<std::vector<std::uint8_t>> thumbnailJPEG(const std::filesystem::path& path,
                                                       double atSeconds) {
    const ImageGeneratorOptions options{true, kThumbnailWidth, kThumbnailHeight};
    const auto pictureAt = [&](MediaTime time) -> std::optional<BgraImage> {
        try {
            return generateImage(path, time, options);
        } catch (const MediaError&) {
            return std::nullopt;
        }
    };
    // Times beyond any video fall back to the first frame like any time past the end.
    const double seconds = std::isfinite(atSeconds) ? std::clamp(atSeconds, 0.0, 1e9) : 0.0;
    std::optional<BgraImage> picture = pictureAt(MediaTime::fromSeconds(seconds, 600));
    if (!picture)
        picture = pictureAt(MediaTime::zero());
    if (!picture)
        return std::nullopt;
    return encodeJPEG(*picture, kThumbnailQuality);
}

}  // namespace skelder::media
