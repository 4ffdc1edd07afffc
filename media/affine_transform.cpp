#include "media/affine_transform.hpp"

#include <cmath>

extern "C" {
#include <libavutil/display.h>
}

namespace skelder::media {
namespace {

constexpr double kFixed16 = 65536.0;
constexpr double kFixed30 = 1073741824.0;

std::int32_t fixed(double value, double unit) {
    return static_cast<std::int32_t>(std::lround(value * unit));
}

}  // namespace

AffineTransform AffineTransform::rotation(int clockwiseDegrees, int width, int height) {
    switch (((clockwiseDegrees % 360) + 360) % 360) {
        case 90:
            return {0, 1, -1, 0, static_cast<double>(height), 0};
        case 180:
            return {-1, 0, 0, -1, static_cast<double>(width), static_cast<double>(height)};
        case 270:
            return {0, -1, 1, 0, 0, static_cast<double>(width)};
        default:
            return identity();
    }
}

AffineTransform AffineTransform::fromDisplayMatrix(const std::int32_t m[9]) {
    return {m[0] / kFixed16, m[1] / kFixed16, m[3] / kFixed16,
            m[4] / kFixed16, m[6] / kFixed16, m[7] / kFixed16};
}

std::array<std::int32_t, 9> AffineTransform::displayMatrix() const {
    return {fixed(a, kFixed16),  fixed(b, kFixed16),  0,
            fixed(c, kFixed16),  fixed(d, kFixed16),  0,
            fixed(tx, kFixed16), fixed(ty, kFixed16), fixed(1.0, kFixed30)};
}

int AffineTransform::clockwiseDegrees() const {
    const auto matrix = displayMatrix();
    const double counterClockwise = av_display_rotation_get(matrix.data());
    if (std::isnan(counterClockwise))
        return 0;
    const long quarterTurns = std::lround(-counterClockwise / 90.0);
    return static_cast<int>(((quarterTurns % 4) + 4) % 4) * 90;
}

bool AffineTransform::isMirrored() const {
    return a * d - b * c < 0;
}

}  // namespace skelder::media
