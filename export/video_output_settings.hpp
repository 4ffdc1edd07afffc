#pragma once

#include <cstdint>

namespace skelder {

struct VideoOutputSettings {
    int width = 0;
    int height = 0;
    std::int64_t averageBitRate = 0;  // bits per second; H.264 High, automatic level
};

// The encoder settings of an export: pixels × max(frame rate, 24) × 0.2 bit/s (30 fps when the
// rate is unknown), at least 1.1 × the source's data rate, clamped to 10…120 Mbit/s.
VideoOutputSettings videoOutputSettings(int width, int height, double frameRate,
                                        double sourceDataRate);

}  // namespace skelder
