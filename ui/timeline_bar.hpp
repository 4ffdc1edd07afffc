#pragma once

// The highlight bars of the timeline as plain numbers: where each planned segment sits on the
// recording (fractions of its length) and where it is drawn and clicked (points from the track's
// left edge). No drawing here, so every rule is testable without a window.

#include <optional>
#include <vector>

#include "highlights/filter_mode.hpp"
#include "highlights/segments.hpp"

namespace skelder::ui {

// One planned segment placed on the timeline of a recording.
struct TimelineBar {
    PlannedSegment segment;
    double startRatio = 0;  // fraction of the timeline duration where the bar starts
    double widthRatio = 0;  // fraction of the timeline duration it covers (0.002 to 1)
    HighlightTier tier = HighlightTier::best;
    bool isIncludedInExport = true;

    friend bool operator==(const TimelineBar&, const TimelineBar&) = default;
};

// The bar of `segment` (whole seconds, end inclusive) on a timeline `durationSeconds` long.
// The duration is at least 1 second; anything smaller (or not finite) counts as 1.
TimelineBar timelineBarFor(const PlannedSegment& segment, double durationSeconds,
                           HighlightTier tier, bool isIncludedInExport);

// Where one bar is drawn (visual) and where it takes clicks (hit), in points from the left
// edge of the track.
struct TimelineBarLayout {
    double visualStart = 0;
    double visualWidth = 0;
    double hitStart = 0;
    double hitWidth = 0;

    friend bool operator==(const TimelineBarLayout&, const TimelineBarLayout&) = default;
};

inline constexpr double kTimelineBarHeight = 44;
inline constexpr double kMinimumTimelineHitWidth = 18;

// The layouts of `bars` in list order on a track `trackWidth` points wide: every visible bar
// is at least 1 point wide and centred in a click area at least `minimumHitWidth` wide; both are
// pushed inwards at the track's ends, and neighbours whose click areas overlap split the
// contested space at its middle.
std::vector<TimelineBarLayout> timelineBarLayouts(
    const std::vector<TimelineBar>& bars, double trackWidth,
    double minimumHitWidth = kMinimumTimelineHitWidth);

// The playhead's x on a track `trackWidth` wide, or nothing when it is hidden: it shows only
// while the preview plays and both the current second and a positive duration are known.
std::optional<double> timelinePlayheadX(bool isPreviewPlaying,
                                        std::optional<double> previewCurrentSecond,
                                        std::optional<double> timelineDurationSeconds,
                                        double trackWidth);

}  // namespace skelder::ui
