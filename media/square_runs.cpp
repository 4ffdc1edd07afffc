#include "media/square_runs.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace skelder::media {
namespace {

// A region in squares: columns [left, right) and square rows [top, bottom).
struct SquareSpan {
    int top;
    int bottom;
    int left;
    int right;
};

void visitRuns(std::span<const PixelRegion> regions, int width, int height, bool covered,
               const SquareRunVisitor& visit) {
    if (width <= 0 || height <= 0)
        return;
    const int columns = (width + 1) / 2;
    const int squareRows = (height + 1) / 2;
    std::vector<SquareSpan> spans;
    spans.reserve(regions.size());
    for (const PixelRegion& region : regions) {
        const int left = std::clamp(region.left, 0, width);
        const int right = std::clamp(region.right, 0, width);
        const int top = std::clamp(region.top, 0, height);
        const int bottom = std::clamp(region.bottom, 0, height);
        if (left < right && top < bottom)
            spans.push_back({top / 2, (bottom + 1) / 2, left / 2, (right + 1) / 2});
    }
    std::sort(spans.begin(), spans.end(),
              [](const SquareSpan& a, const SquareSpan& b) { return a.top < b.top; });

    // The spans that reach the current square row; those that ended are dropped as they go.
    std::vector<SquareSpan> open;
    std::vector<std::pair<int, int>> intervals;
    std::vector<std::pair<int, int>> merged;
    std::size_t next = 0;
    for (int row = 0; row < squareRows; ++row) {
        std::erase_if(open, [row](const SquareSpan& span) { return span.bottom <= row; });
        if (covered && open.empty()) {
            if (next == spans.size())
                return;
            row = std::max(row, spans[next].top);  // nothing to visit before the next span
        }
        while (next < spans.size() && spans[next].top <= row)
            open.push_back(spans[next++]);
        intervals.clear();
        for (const SquareSpan& span : open)
            intervals.emplace_back(span.left, span.right);
        std::sort(intervals.begin(), intervals.end());

        const int top = row * 2;
        const int rows = std::min(2, height - top);
        const auto emit = [&](int left, int right) {
            if (left < right)
                visit({top, rows, left * 2, std::min(right * 2, width)});
        };
        // Merge the overlapping and touching intervals, then visit them or the gaps between.
        merged.clear();
        for (const auto& [left, right] : intervals) {
            if (!merged.empty() && left <= merged.back().second)
                merged.back().second = std::max(merged.back().second, right);
            else
                merged.emplace_back(left, right);
        }
        if (covered) {
            for (const auto& [left, right] : merged)
                emit(left, right);
            continue;
        }
        int from = 0;
        for (const auto& [left, right] : merged) {
            emit(from, left);
            from = right;
        }
        emit(from, columns);
    }
}

}  // namespace

void forEachCoveredRun(std::span<const PixelRegion> regions, int width, int height,
                       const SquareRunVisitor& visit) {
    visitRuns(regions, width, height, true, visit);
}

void forEachUncoveredRun(std::span<const PixelRegion> regions, int width, int height,
                         const SquareRunVisitor& visit) {
    visitRuns(regions, width, height, false, visit);
}

void forEachRunCoveredOnlyBy(std::span<const PixelRegion> regions,
                             std::span<const PixelRegion> others, int width, int height,
                             const SquareRunVisitor& visit) {
    // The others' runs, in visiting order: top down, left to right.
    std::vector<SquareRun> taken;
    visitRuns(others, width, height, true, [&](const SquareRun& run) { taken.push_back(run); });
    std::size_t next = 0;
    visitRuns(regions, width, height, true, [&](const SquareRun& run) {
        while (next < taken.size() && taken[next].top < run.top)
            ++next;
        int from = run.left;
        for (std::size_t i = next; i < taken.size() && taken[i].top == run.top; ++i) {
            const SquareRun& other = taken[i];
            if (other.right <= from || other.left >= run.right)
                continue;
            if (other.left > from)
                visit({run.top, run.rows, from, other.left});
            from = std::max(from, other.right);
        }
        if (from < run.right)
            visit({run.top, run.rows, from, run.right});
    });
}

}  // namespace skelder::media
