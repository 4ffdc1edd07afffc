#include "media/media_error.hpp"

extern "C" {
#include <libavutil/error.h>
}

namespace skelder::media {

std::string ffmpegErrorText(int errorCode) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(errorCode, text, sizeof text) < 0)
        return "Unknown error " + std::to_string(errorCode);
    return text;
}

int checkFFmpeg(int result) {
    if (result < 0)
        throw MediaError(ffmpegErrorText(result));
    return result;
}

}  // namespace skelder::media
