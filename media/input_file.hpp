#pragma once

#include <filesystem>

#include "media/ffmpeg_handles.hpp"

namespace skelder::media {

// Opens a media file and reads its stream information (a probe: the first packets of every
// stream are read and decoded); throws MediaError with FFmpeg's text.
InputContext openInput(const std::filesystem::path& path);

// Opens a media file and reads its container header only, no probe; throws MediaError.
InputContext openInputHeader(const std::filesystem::path& path);

// How many media files this process opened, and how many of those it probed; tests count the
// opens of one export with it.
struct InputOpenCounts {
    long opened = 0;
    long probed = 0;
};
InputOpenCounts inputOpenCounts();

}  // namespace skelder::media
