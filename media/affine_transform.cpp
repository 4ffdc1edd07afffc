#include "media/affine_transform.hpp"

#include <cmath>
#include <numbers>

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
    // Where the turn takes the stored picture's x axis (y down, so clockwise is positive);
    // a mirror first sends that axis the other way.
    const double sign = isMirrored() ? -1.0 : 1.0;
    const double x = sign * a;
    const double y = sign * b;
    if (!std::isfinite(x) || !std::isfinite(y) || (x == 0 && y == 0))
        return 0;
    const long quarterTurns = std::lround(std::atan2(y, x) * 2 / std::numbers::pi);
    return static_cast<int>(((quarterTurns % 4) + 4) % 4) * 90;
}

bool AffineTransform::isMirrored() const {
    return a * d - b * c < 0;
}

}  // namespace skelder::media
