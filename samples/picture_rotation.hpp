#pragma once

#include <cstdint>
#include <vector>

#include "samples/sample_picture.hpp"

namespace skelder::samples {

// A 4:2:0 picture that owns its planes.
struct OwnedYuvPicture {
    std::vector<std::uint8_t> bytes;
    YuvPicture picture;

    OwnedYuvPicture(int width, int height);
};

// What a recorder mounted turned stores for an upright view: `upright` turned counterclockwise
// by `displayRotation` degrees (0, 90, 180 or 270) into `stored`, whose size is the upright
// one with width and height swapped for a quarter turn. A player turns it back clockwise by the
// display matrix and shows it upright.
void storeTurned(const YuvPicture& upright, int displayRotation, YuvPicture& stored);

}  // namespace skelder::samples
