#include "overlay/timeline.hpp"

#include <algorithm>

#include "overlay/render_sample.hpp"

namespace skelder {

std::optional<TimelinePosition> resolveTimelinePosition(
    std::span<const HighlightTimelineSegment> segments, double outputSeconds) {
    for (const HighlightTimelineSegment& segment : segments) {
        if (segment.outputStartSeconds <= outputSeconds &&
            outputSeconds < segment.outputEndSeconds) {
            return TimelinePosition{segment.sourceStartSeconds +
                                        std::max(outputSeconds - segment.outputStartSeconds, 0.0),
                                    segment.sampleSourceIndex};
        }
    }
    return std::nullopt;
}

std::optional<OverlaySampleBounds> makeSampleBounds(const DecisecondGrid& sampleSource) {
    if (sampleSource.empty()) {
        return std::nullopt;
    }
    return OverlaySampleBounds{sampleSource.firstKey(), sampleSource.lastKey()};
}

OverlayFrameDebugInfo makeFrameDebugInfo(double outputSeconds, double mappedSourceSeconds,
                                         double adjustedSourceSeconds, double timeOffsetSeconds,
                                         std::int64_t sampleSourceIndex,
                                         std::span<const std::string> sampleSourceLabels) {
    OverlayFrameDebugInfo info{outputSeconds,     mappedSourceSeconds, adjustedSourceSeconds,
                               timeOffsetSeconds, sampleSourceIndex,   std::nullopt};
    if (sampleSourceIndex >= 0 &&
        static_cast<std::uint64_t>(sampleSourceIndex) < sampleSourceLabels.size()) {
        info.sampleSourceLabel = sampleSourceLabels[static_cast<std::size_t>(sampleSourceIndex)];
    }
    return info;
}

std::optional<OverlayFrameContent> overlayFrameAt(const OverlayTimelineView& timeline,
                                                  double outputSeconds) {
    if (outputSeconds < 0) {
        outputSeconds = 0;
    }
    const auto position = resolveTimelinePosition(timeline.timelineSegments, outputSeconds);
    if (!position || position->sampleSourceIndex < 0 ||
        static_cast<std::uint64_t>(position->sampleSourceIndex) >= timeline.sampleSources.size()) {
        return std::nullopt;
    }
    const auto index = static_cast<std::size_t>(position->sampleSourceIndex);
    if (index >= timeline.sampleBoundsBySource.size() || !timeline.sampleBoundsBySource[index]) {
        return std::nullopt;
    }
    const double offset = index < timeline.sampleSourceOffsetSeconds.size()
                              ? timeline.sampleSourceOffsetSeconds[index]
                              : timeline.overlayOptions.timeOffsetSeconds;
    const double adjusted = std::max(position->mappedSourceSeconds + offset, 0.0);
    auto sample = buildRenderSample(timeline.sampleSources[index],
                                    *timeline.sampleBoundsBySource[index], adjusted);
    if (!sample) {
        return std::nullopt;
    }
    OverlayFrameContent content{std::move(*sample), std::nullopt};
    const LapHudElements& lapHud = timeline.overlayOptions.lapHud;
    if (lapHud.any() && index < timeline.lapClocks.size() && timeline.lapClocks[index]) {
        if (auto reading = timeline.lapClocks[index]->at(adjusted)) {
            content.sample.lap = LapHudContent{lapHud, *reading, timeline.lapClocks[index]};
        }
    }
    if (timeline.overlayOptions.debugHUDEnabled) {
        content.debugInfo =
            makeFrameDebugInfo(outputSeconds, position->mappedSourceSeconds, adjusted, offset,
                               position->sampleSourceIndex, timeline.sampleSourceLabels);
    }
    return content;
}

}  // namespace skelder
