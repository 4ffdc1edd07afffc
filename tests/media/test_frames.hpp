#pragma once

#include "media/video_frame.hpp"

namespace skelder::media {

// Average of the green channel over the middle of a frame: the grey level of a test frame.
inline double averageGrey(const VideoFrame& frame) {
    double sum = 0;
    int count = 0;
    for (int y = frame.height() / 4; y < frame.height() * 3 / 4; ++y) {
        for (int x = frame.width() / 4; x < frame.width() * 3 / 4; ++x) {
            sum += frame.data()[y * frame.stride() + x * 4 + 1];
            ++count;
        }
    }
    return sum / count;
}

}  // namespace skelder::media
