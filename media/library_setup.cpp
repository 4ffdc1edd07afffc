#include "media/library_setup.hpp"

#include <cstdlib>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace skelder::media {

void configureMediaLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(std::getenv("SKELDER_FFMPEG_LOG") != nullptr ? AV_LOG_INFO : AV_LOG_QUIET);
    });
}

}  // namespace skelder::media
