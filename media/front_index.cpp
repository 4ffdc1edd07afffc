#include "media/ffmpeg_handles.hpp"

extern "C" {
#include <libavutil/dict.h>
}

namespace skelder::media {

int writeHeaderWithIndexInFront(AVFormatContext* output) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int result = avformat_write_header(output, &options);
    av_dict_free(&options);
    return result;
}

}  // namespace skelder::media
