#pragma once

namespace skelder::media {

// FFmpeg reports its failures through our errors, so its own log stays quiet unless the
// environment variable SKELDER_FFMPEG_LOG asks for it (for diagnosing a file). Idempotent.
void configureMediaLibrary();

}  // namespace skelder::media
