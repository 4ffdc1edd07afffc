#include "samples/picture_rotation.hpp"

namespace skelder::samples {
namespace {

void storeTurned(const Plane& upright, int displayRotation, const Plane& stored) {
    for (int y = 0; y < stored.height; ++y) {
        std::uint8_t* row = stored.data + static_cast<std::ptrdiff_t>(y) * stored.stride;
        for (int x = 0; x < stored.width; ++x) {
            // The upright pixel a player shows where stored pixel (x, y) lands.
            int shownX = x;
            int shownY = y;
            if (displayRotation == 90) {
                shownX = upright.width - 1 - y;
                shownY = x;
            } else if (displayRotation == 180) {
                shownX = upright.width - 1 - x;
                shownY = upright.height - 1 - y;
            } else if (displayRotation == 270) {
                shownX = y;
                shownY = upright.height - 1 - x;
            }
            row[x] = upright.data[static_cast<std::ptrdiff_t>(shownY) * upright.stride + shownX];
        }
    }
}

}  // namespace

OwnedYuvPicture::OwnedYuvPicture(int width, int height) {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const std::size_t chroma = static_cast<std::size_t>(width / 2) * (height / 2);
    bytes.resize(luma + 2 * chroma);
    picture.y = {bytes.data(), width, width, height};
    picture.u = {bytes.data() + luma, width / 2, width / 2, height / 2};
    picture.v = {bytes.data() + luma + chroma, width / 2, width / 2, height / 2};
}

void storeTurned(const YuvPicture& upright, int displayRotation, YuvPicture& stored) {
    storeTurned(upright.y, displayRotation, stored.y);
    storeTurned(upright.u, displayRotation, stored.u);
    storeTurned(upright.v, displayRotation, stored.v);
}

}  // namespace skelder::samples
