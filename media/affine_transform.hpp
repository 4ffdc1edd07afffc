#pragma once

#include <array>
#include <cstdint>

#include "core/picture_orientation.hpp"

namespace skelder::media {

// A 2-D affine transform as a video track's display matrix carries it:
// x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    // A display rotation by a multiple of 90 degrees clockwise for a picture of the given
    // stored size (the translation keeps the picture in the positive quadrant).
    static AffineTransform rotation(int clockwiseDegrees, int width, int height);

    // FFmpeg's 3×3 display matrix (16.16 fixed point; 2.30 for the last column).
    static AffineTransform fromDisplayMatrix(const std::int32_t matrix[9]);
    std::array<std::int32_t, 9> displayMatrix() const;

    // Clockwise rotation in whole quarter turns (0, 90, 180, 270) and whether the picture is
    // mirrored, for the axis-aligned transforms video files use. A mirrored transform is read
    // as a mirror left to right first, then the turn.
    int clockwiseDegrees() const;
    bool isMirrored() const;
    PictureOrientation orientation() const { return {clockwiseDegrees(), isMirrored()}; }

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace skelder::media
