#include "export/video_output_settings.hpp"

#include <algorithm>

namespace skelder {

VideoOutputSettings videoOutputSettings(int width, int height, double frameRate,
                                        double sourceDataRate) {
    const double pixels = std::max(static_cast<double>(width) * height, 1.0);
    const double rateFactor = frameRate > 0 ? std::max(frameRate, 24.0) : 30.0;
    double estimate = pixels * rateFactor * 0.2;
    if (sourceDataRate > 0)
        estimate = std::max(estimate, sourceDataRate * 1.1);
    const double bitRate = std::clamp(estimate, 10'000'000.0, 120'000'000.0);
    return {width, height, static_cast<std::int64_t>(bitRate)};
}

}  // namespace skelder
