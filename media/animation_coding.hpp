#pragma once

// QuickTime Animation pictures (32-bit ARGB, run-length coded), coded from what changed.
//
// A picture codes the rows from the first to the last one that changed since the previous
// picture; each row skips to its first changed pixel, then codes up to its last changed pixel as
// runs of one repeated pixel and stretches of literal pixels. A key picture codes every pixel.
// The HUD changes a few small boxes of a mostly transparent picture, and the caller knows which:
// coding only those spans costs a fraction of comparing every pixel of every row the way a
// general encoder must.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skelder::media {

// Columns [begin, end) of one row that changed since the previous picture (none when equal).
struct RowSpan {
    int begin = 0;
    int end = 0;
};

// A picture's pixels: A R G B bytes, `width` pixels a row, rows `stride` bytes apart.
struct ArgbPicture {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

// The coded picture (the sample QuickTime stores), one span per row of the picture. A key
// picture passes every row whole.
std::vector<std::uint8_t> codeAnimationPicture(const ArgbPicture& picture,
                                               const std::vector<RowSpan>& changed);

}  // namespace skelder::media
