#pragma once

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "media/ffmpeg_handles.hpp"
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

// A decoded picture with buffers of its own (contents undefined).
inline FramePtr decodedPicture(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P,
                               AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED,
                               AVColorRange range = AVCOL_RANGE_UNSPECIFIED) {
    FramePtr picture = allocateFrame();
    picture->format = format;
    picture->width = width;
    picture->height = height;
    picture->colorspace = matrix;
    picture->color_range = range;
    EXPECT_EQ(av_frame_get_buffer(picture.get(), 0), 0);
    return picture;
}

// Command-line arguments written as one text split at its spaces, then a last argument (a
// path, which may hold spaces) whole.
inline std::vector<std::string> words(const std::string& text, const std::string& last) {
    std::istringstream in(text);
    std::vector<std::string> arguments{std::istream_iterator<std::string>(in), {}};
    arguments.push_back(last);
    return arguments;
}

}  // namespace skelder::media
