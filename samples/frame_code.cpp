#include "samples/frame_code.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace skelder::samples {

namespace {

constexpr int kDataBitsPerRow = 10;
// A cell reads as black or white only when its brightness lies this close to one marker, as a
// share of the contrast between the markers.
constexpr double kDecisionMargin = 0.3;
// Markers closer than this in 8-bit brightness mean there is no code.
constexpr double kMinimumMarkerContrast = 64;

using PixelLuma = std::function<int(int x, int y)>;

// Mean brightness of the middle half of a cell, away from edges blurred by compression.
double cellBrightness(const FrameCodeLayout& layout, int row, int column, const PixelLuma& luma) {
    const int size = layout.cellSize;
    const int x0 = layout.left + column * size + size / 4;
    const int y0 = layout.top + row * size + size / 4;
    const int extent = std::max(1, size / 2);
    const int step = std::max(1, extent / 16);
    long sum = 0;
    long count = 0;
    for (int y = y0; y < y0 + extent; y += step) {
        for (int x = x0; x < x0 + extent; x += step) {
            sum += luma(x, y);
            ++count;
        }
    }
    return static_cast<double>(sum) / static_cast<double>(count);
}

std::optional<std::int64_t> readCode(int width, int height, const PixelLuma& luma) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const FrameCodeLayout layout = frameCodeLayout(width, height);
    if (!layout.fits()) {
        return std::nullopt;
    }
    const double white = cellBrightness(layout, 0, 0, luma);
    const double black = cellBrightness(layout, 1, 0, luma);
    const double contrast = white - black;
    if (contrast < kMinimumMarkerContrast) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (int row = 0; row < kFrameCodeRows; ++row) {
        int ones = 0;
        for (int column = 1; column < kFrameCodeColumns; ++column) {
            const double level = (cellBrightness(layout, row, column, luma) - black) / contrast;
            const bool bit = level > 0.5;
            if (std::abs(level - (bit ? 1.0 : 0.0)) > kDecisionMargin) {
                return std::nullopt;
            }
            ones += bit ? 1 : 0;
            if (column <= kDataBitsPerRow) {
                value = value * 2 + (bit ? 1 : 0);
            }
        }
        if (ones % 2 != 0) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

FrameCodeLayout frameCodeLayout(int width, int height) {
    // Thirteen cells across leave half a cell of margin on each side. The code sits just below
    // the top quarter of the picture, where an export draws the speed, gear and pedals, and above
    // the middle, so it stays readable in exported frames too.
    const int size = static_cast<int>(std::min(width / 13.0, height * 0.1));
    FrameCodeLayout layout;
    layout.cellSize = std::max(0, size);
    layout.left = (width - kFrameCodeColumns * layout.cellSize) / 2;
    layout.top = static_cast<int>(height * 0.27);
    return layout;
}

std::array<bool, kFrameCodeColumns * kFrameCodeRows> frameCodeCells(std::int64_t frameNumber) {
    if (frameNumber < 0 || frameNumber > kLargestBurnedFrameNumber) {
        throw std::out_of_range("frame number outside the burned code's range");
    }
    std::array<bool, kFrameCodeColumns * kFrameCodeRows> cells{};
    for (int row = 0; row < kFrameCodeRows; ++row) {
        bool* cell = &cells[static_cast<std::size_t>(row * kFrameCodeColumns)];
        cell[0] = row == 0;
        const int shift = (kFrameCodeRows - 1 - row) * kDataBitsPerRow;
        const auto bits = static_cast<int>((frameNumber >> shift) & ((1 << kDataBitsPerRow) - 1));
        int ones = 0;
        for (int i = 0; i < kDataBitsPerRow; ++i) {
            const bool bit = (bits >> (kDataBitsPerRow - 1 - i)) & 1;
            cell[1 + i] = bit;
            ones += bit ? 1 : 0;
        }
        cell[kFrameCodeColumns - 1] = ones % 2 != 0;
    }
    return cells;
}

std::optional<std::int64_t> readBurnedFrameNumber(const std::uint8_t* bgra, int width, int height,
                                                  int stride) {
    if (bgra == nullptr || stride < width * 4) {
        return std::nullopt;
    }
    return readCode(width, height, [&](int x, int y) {
        const std::uint8_t* p = bgra + static_cast<std::ptrdiff_t>(y) * stride + x * 4;
        // BT.709 luma weights in 1/256.
        return (p[0] * 18 + p[1] * 183 + p[2] * 55) >> 8;
    });
}

std::optional<std::int64_t> readBurnedFrameNumberFromLuma(const std::uint8_t* luma, int width,
                                                          int height, int stride) {
    if (luma == nullptr || stride < width) {
        return std::nullopt;
    }
    return readCode(width, height, [&](int x, int y) {
        return static_cast<int>(luma[static_cast<std::ptrdiff_t>(y) * stride + x]);
    });
}

}  // namespace skelder::samples
