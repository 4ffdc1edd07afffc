#pragma once

// Regions of a 4:2:0 picture walked as runs of whole 2 × 2 squares, a pair of rows at a time:
// one chroma sample covers a square, so a conversion in either direction works on squares.

#include <functional>
#include <span>

#include "media/video_frame.hpp"

namespace skelder::media {

// The pixels [left, right) of the rows [top, top + rows): two rows, or one for the last row of
// a picture of odd height. `left` and `top` are even.
struct SquareRun {
    int top = 0;
    int rows = 0;
    int left = 0;
    int right = 0;

    friend bool operator==(const SquareRun&, const SquareRun&) = default;
};

using SquareRunVisitor = std::function<void(const SquareRun&)>;

// Visits, from the top row down and left to right, the runs of squares of a `width` × `height`
// picture that any region reaches into, each square once. Regions may overlap and reach past
// the picture.
void forEachCoveredRun(std::span<const PixelRegion> regions, int width, int height,
                       const SquareRunVisitor& visit);

// The same for the squares no region reaches into.
void forEachUncoveredRun(std::span<const PixelRegion> regions, int width, int height,
                         const SquareRunVisitor& visit);

// The same for the squares `regions` reach into and none of `others` does.
void forEachRunCoveredOnlyBy(std::span<const PixelRegion> regions,
                             std::span<const PixelRegion> others, int width, int height,
                             const SquareRunVisitor& visit);

}  // namespace skelder::media
