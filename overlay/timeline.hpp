#pragma once

// Which recording and which instant in it belong to an output frame, and the telemetry there.
// Everything here is a pure function of immutable job data, safe to call from many threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/speed_unit.hpp"
#include "overlay/lap_hud.hpp"
#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// One stretch of output time, half-open: [outputStartSeconds, outputEndSeconds).
struct HighlightTimelineSegment {
    double outputStartSeconds = 0;
    double outputEndSeconds = 0;
    double sourceStartSeconds = 0;  // source time at outputStartSeconds
    std::int64_t sampleSourceIndex = 0;

    friend bool operator==(const HighlightTimelineSegment&,
                           const HighlightTimelineSegment&) = default;
};

// The key range of one sample source (decisecond ticks).
struct OverlaySampleBounds {
    std::int64_t minTick = 0;
    std::int64_t maxTick = 0;

    friend bool operator==(const OverlaySampleBounds&, const OverlaySampleBounds&) = default;
};

struct HighlightsOverlayOptions {
    // Added to the mapped source time: positive values make telemetry appear earlier.
    double timeOffsetSeconds = 0;
    bool debugHUDEnabled = false;
    // The unit of the speed readout and its label.
    SpeedUnit speedUnit = kDefaultSpeedUnit;
    // The lap elements the user switched on (none by default).
    LapHudElements lapHud = {};
};

struct GForcePoint {
    double latG = 0;
    double lonG = 0;

    friend bool operator==(const GForcePoint&, const GForcePoint&) = default;
};

// Everything the HUD needs for one frame.
struct OverlayRenderSample {
    OverlayTelemetrySample telemetry;
    std::vector<GForcePoint> gHistory;  // oldest first
    double currentTotalG = 0;
    double heldPeakG = 0;
    // The lap elements, when switched on and the recording has laps.
    std::optional<LapHudContent> lap = std::nullopt;
};

// Every time value behind one frame, for the timing debug panel.
struct OverlayFrameDebugInfo {
    double outputSeconds = 0;
    double mappedSourceSeconds = 0;    // from the timeline, before the offset
    double adjustedSourceSeconds = 0;  // after the offset: the time actually sampled
    double timeOffsetSeconds = 0;
    std::int64_t sampleSourceIndex = 0;
    std::optional<std::string> sampleSourceLabel;
};

struct TimelinePosition {
    double mappedSourceSeconds = 0;
    std::int64_t sampleSourceIndex = 0;
};

// The first segment holding the output time; NaN matches none.
std::optional<TimelinePosition> resolveTimelinePosition(
    std::span<const HighlightTimelineSegment> segments, double outputSeconds);

// Smallest and largest tick of a source; none for an empty source.
std::optional<OverlaySampleBounds> makeSampleBounds(const DecisecondGrid& sampleSource);

// The label is sampleSourceLabels[index] when the list is long enough, else absent.
OverlayFrameDebugInfo makeFrameDebugInfo(double outputSeconds, double mappedSourceSeconds,
                                         double adjustedSourceSeconds, double timeOffsetSeconds,
                                         std::int64_t sampleSourceIndex,
                                         std::span<const std::string> sampleSourceLabels);

// The read-only per-job data the frame lookup works on (views; the job owns the data).
struct OverlayTimelineView {
    std::span<const HighlightTimelineSegment> timelineSegments;
    std::span<const DecisecondGrid> sampleSources;
    std::span<const std::optional<OverlaySampleBounds>> sampleBoundsBySource;
    std::span<const std::string> sampleSourceLabels;
    HighlightsOverlayOptions overlayOptions;
    // A source's own telemetry advance (a reel of recorders that lag differently); sources
    // past the end of the list take overlayOptions.timeOffsetSeconds.
    std::span<const double> sampleSourceOffsetSeconds = {};
    // A source's laps (null: none), read at the same telemetry instant as its samples.
    std::span<const std::shared_ptr<const laps::LapClock>> lapClocks = {};
};

// What one frame draws: the render sample and, when the debug panel is on, its timing record.
struct OverlayFrameContent {
    OverlayRenderSample sample;
    std::optional<OverlayFrameDebugInfo> debugInfo;
};

// The whole per-frame lookup: output time (negative taken as 0), timeline position, guards,
// offset, render sample and debug info. None: the frame is written without HUD.
std::optional<OverlayFrameContent> overlayFrameAt(const OverlayTimelineView& timeline,
                                                  double outputSeconds);

}  // namespace skelder
