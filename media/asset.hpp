#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "media/affine_transform.hpp"
#include "media/color_properties.hpp"
#include "media/media_time.hpp"

struct AVFormatContext;
struct AVStream;

namespace skelder::media {

struct VideoTrackInfo {
    int streamIndex = -1;
    int naturalWidth = 0;  // stored size; the transform is not applied
    int naturalHeight = 0;
    AffineTransform preferredTransform;
    double nominalFrameRate = 0;   // frames per second, 0 when unknown
    double estimatedDataRate = 0;  // bits per second, 0 when unknown
    ColorProperties color;
    std::string codecName;
};

struct AudioTrackInfo {
    int streamIndex = -1;
    bool hasFormatDescription = false;  // codec parameters usable for a stream copy
    int sampleRate = 0;
    int channels = 0;
    std::string codecName;
};

// A media file opened for its properties: duration and first video and audio tracks.
class Asset {
  public:
    // Throws MediaError with FFmpeg's description when the file cannot be opened.
    static Asset open(const std::filesystem::path& path);
    // The properties of a file already opened and probed.
    static Asset of(const AVFormatContext& context, const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    std::optional<MediaTime> duration() const { return duration_; }
    const std::optional<VideoTrackInfo>& videoTrack() const { return video_; }
    const std::optional<AudioTrackInfo>& audioTrack() const { return audio_; }

  private:
    std::filesystem::path path_;
    std::optional<MediaTime> duration_;
    std::optional<VideoTrackInfo> video_;
    std::optional<AudioTrackInfo> audio_;
};

// The display transform a stream's header carries (identity when it has none).
AffineTransform displayTransformOf(const AVStream* stream);

// The duration of a media file in seconds, or nothing when it cannot be loaded or is not a
// finite number; negative durations count as 0.
std::optional<double> loadVideoDurationSeconds(const std::filesystem::path& path);

// How the first video track's picture is shown, upright when the file cannot be opened or has
// no video. Reads the container's header only, no stream probing.
PictureOrientation loadPictureOrientation(const std::filesystem::path& path);

}  // namespace skelder::media
