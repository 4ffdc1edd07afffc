#pragma once

// Source-over compositing of premultiplied BGRA pixels onto premultiplied BGRA pixels, with
// the rounding Cairo's own compositing uses, so the result is the same byte for byte.

#include <cstdint>

namespace skelder {

// Composites `width` × `rows` pixels of `source` over `target` (rows `…Stride` bytes apart).
// Reads and writes exactly those pixels.
void compositeSourceOver(const std::uint8_t* source, int sourceStride, std::uint8_t* target,
                         int targetStride, int width, int rows);

}  // namespace skelder
