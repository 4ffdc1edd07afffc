#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace skelder::samples {

// The frame number burned into every sample picture as large black and white blocks near the
// top, readable after lossy compression and scaling: two rows of 12 cells. Each row starts with
// a marker (white in the first row, black in the second), holds 10 bits of the frame number
// (most significant first; white is 1) and ends with an even parity bit over its data bits.
inline constexpr int kFrameCodeColumns = 12;
inline constexpr int kFrameCodeRows = 2;
inline constexpr std::int64_t kLargestBurnedFrameNumber = (std::int64_t{1} << 20) - 1;

// Where the code sits in a picture: square cells of cellSize pixels from (left, top). The layout
// only depends on the picture's proportions, so a picture scaled as a whole still reads.
struct FrameCodeLayout {
    int cellSize = 0;
    int left = 0;
    int top = 0;

    int bottom() const { return top + kFrameCodeRows * cellSize; }
    bool fits() const { return cellSize >= 4; }
};

FrameCodeLayout frameCodeLayout(int width, int height);

// Cell colours for a frame number (0 to kLargestBurnedFrameNumber), row by row; true is white.
std::array<bool, kFrameCodeColumns * kFrameCodeRows> frameCodeCells(std::int64_t frameNumber);

// The burned frame number of a decoded picture in 8-bit BGRA (as stored, no rotation applied),
// or nothing when the picture carries no readable code: markers without contrast, a cell that is
// neither clearly black nor clearly white, or a parity mismatch.
std::optional<std::int64_t> readBurnedFrameNumber(const std::uint8_t* bgra, int width, int height,
                                                  int stride);

// The same for a luma plane (e.g. the Y plane of a decoded YUV picture).
std::optional<std::int64_t> readBurnedFrameNumberFromLuma(const std::uint8_t* luma, int width,
                                                          int height, int stride);

}  // namespace skelder::samples
