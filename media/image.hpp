#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace skelder::media {

// A still picture: 32-bit BGRA rows without padding.
struct BgraImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    int stride() const { return width * 4; }
};

// JPEG data of a picture at a quality of 0...100; nothing when encoding fails.
std::optional<std::vector<std::uint8_t>> encodeJPEG(const BgraImage& image, int quality);

}  // namespace skelder::media
