#pragma once

#include <filesystem>

#include "media/ffmpeg_handles.hpp"

namespace skelder::media {

// Opens a media file and reads its stream information; throws MediaError with FFmpeg's text.
InputContext openInput(const std::filesystem::path& path);

}  // namespace skelder::media
