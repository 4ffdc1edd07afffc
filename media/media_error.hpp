#pragma once

#include <stdexcept>
#include <string>

namespace skelder::media {

// A failure of the media library; the message is the library's own description, which
// callers append after their own prefix (for example "Failed to start writer: ").
class MediaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// FFmpeg's text for an error code.
std::string ffmpegErrorText(int errorCode);

// Throws MediaError with FFmpeg's text when `result` is an error code (negative).
int checkFFmpeg(int result);

}  // namespace skelder::media
