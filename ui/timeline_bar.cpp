#include "ui/timeline_bar.hpp"

#include <algorithm>
#include <cmath>

namespace skelder::ui {

TimelineBar timelineBarFor(const PlannedSegment& segment, double durationSeconds,
                           HighlightTier tier, bool isIncludedInExport) {
    const double duration = std::isfinite(durationSeconds) ? std::max(durationSeconds, 1.0) : 1.0;
    const auto start = static_cast<double>(segment.startSecond);
    const auto lastSecond = static_cast<double>(std::max(segment.startSecond, segment.endSecond));
    const double clampedStart = start < 0 ? 0 : std::min(start, duration);
    const double end = std::min(lastSecond + 1, duration);
    const double width = end - clampedStart;
    TimelineBar bar;
    bar.segment = segment;
    bar.startRatio = clampedStart / duration;
    bar.widthRatio = std::min(std::max(width / duration, 0.002), 1.0);
    bar.tier = tier;
    bar.isIncludedInExport = isIncludedInExport;
    return bar;
}

std::vector<TimelineBarLayout> timelineBarLayouts(const std::vector<TimelineBar>& bars,
                                                  double trackWidth, double minimumHitWidth) {
    const double width = std::max(trackWidth, 0.0);
    if (bars.empty() || width == 0 || !std::isfinite(width)) {
        return std::vector<TimelineBarLayout>(bars.size());
    }
    std::vector<TimelineBarLayout> layouts;
    std::vector<double> hitEnds;
    layouts.reserve(bars.size());
    hitEnds.reserve(bars.size());
    for (const TimelineBar& bar : bars) {
        TimelineBarLayout layout;
        layout.visualWidth = std::max(width * bar.widthRatio, 1.0);
        layout.hitWidth = std::min(std::max(layout.visualWidth, minimumHitWidth), width);
        const double inset = (layout.hitWidth - layout.visualWidth) / 2;
        layout.hitStart = std::min(std::max(width * bar.startRatio - inset, 0.0),
                                   std::max(width - layout.hitWidth, 0.0));
        layout.visualStart = layout.hitStart + inset;
        hitEnds.push_back(layout.hitStart + layout.hitWidth);
        layouts.push_back(layout);
    }
    // Neighbours in list order share an overlap at its middle; a pair sees the bounds the
    // previous pair left.
    for (std::size_t i = 0; i + 1 < layouts.size(); ++i) {
        if (layouts[i + 1].hitStart < hitEnds[i]) {
            const double middle = (hitEnds[i] + layouts[i + 1].hitStart) / 2;
            hitEnds[i] = middle;
            layouts[i + 1].hitStart = middle;
        }
    }
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        TimelineBarLayout& layout = layouts[i];
        layout.hitStart = std::min(std::max(layout.hitStart, 0.0), width);
        layout.hitWidth =
            std::max(std::min(width, std::max(layout.hitStart, hitEnds[i])) - layout.hitStart, 0.0);
    }
    return layouts;
}

std::optional<double> timelinePlayheadX(bool isPreviewPlaying,
                                        std::optional<double> previewCurrentSecond,
                                        std::optional<double> timelineDurationSeconds,
                                        double trackWidth) {
    if (!isPreviewPlaying || !previewCurrentSecond || !timelineDurationSeconds ||
        !(*timelineDurationSeconds > 0) || !std::isfinite(*previewCurrentSecond)) {
        return std::nullopt;
    }
    if (trackWidth < 0) {
        return 0.0;
    }
    return trackWidth * std::clamp(*previewCurrentSecond / *timelineDurationSeconds, 0.0, 1.0);
}

}  // namespace skelder::ui
