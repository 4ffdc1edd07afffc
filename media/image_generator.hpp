#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "media/image.hpp"
#include "media/media_time.hpp"

namespace skelder::media {

struct ImageGeneratorOptions {
    bool appliesPreferredTrackTransform = true;
    int maximumWidth = 0;  // 0: no limit
    int maximumHeight = 0;
};

// The picture of a file's video at or after `time` (the first frame whose presentation time
// is not earlier), turned upright by the track's transform and fitted into the maximum size.
// Nothing when the file has no such frame; throws MediaError when it cannot be read.
std::optional<BgraImage> generateImage(const std::filesystem::path& path, MediaTime time,
                                       const ImageGeneratorOptions& options);

// The file list's preview picture: the frame at max(atSeconds, 0) (or, failing that, the
// first frame), upright, within 320 × 180, as JPEG at quality 85. Nothing when there is none.
std::optional<std::vector<std::uint8_t>> thumbnailJPEG(const std::filesystem::path& path,
                                                       double atSeconds);

}  // namespace skelder::media
