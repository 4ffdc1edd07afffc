#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/static_layer_pictures.hpp"
#include "media/media_source.hpp"
#include "overlay/overlay_renderer.hpp"
#include "overlay/timeline.hpp"
#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// Everything one export needs: what to read, how long it is (for progress), which recording
// and instant each output second shows, and the telemetry of every recording.
struct OverlayExportJob {
    media::MediaSource asset;
    media::MediaTime duration = media::MediaTime::zero();
    std::vector<HighlightTimelineSegment> timelineSegments;
    std::vector<DecisecondGrid> sampleSources;
    std::vector<std::string> sampleSourceLabels;
    HighlightsOverlayOptions overlayOptions;
    // Per source, when the sources of a reel have telemetry advances of their own.
    std::vector<double> sampleSourceOffsetSeconds;
    // Per source, its laps for the lap elements (null or missing: none).
    std::vector<std::shared_ptr<const laps::LapClock>> lapClocks = {};
};

// What every render worker reads while frames are rendered; made once per export and never
// changed while workers run.
struct OverlayRenderSharedState {
    std::vector<HighlightTimelineSegment> timelineSegments;
    std::vector<DecisecondGrid> sampleSources;
    std::vector<std::string> sampleSourceLabels;
    HighlightsOverlayOptions overlayOptions;
    std::vector<double> sampleSourceOffsetSeconds;
    std::vector<std::shared_ptr<const laps::LapClock>> lapClocks;
    std::vector<std::optional<OverlaySampleBounds>> sampleBoundsBySource;
    std::shared_ptr<const StaticHUD> staticHUD;  // for the picture as it is shown
    // Clockwise degrees a player turns the stored frames by, after mirroring them when
    // `displayMirrored` (the video's display matrix).
    int displayRotation = 0;
    bool displayMirrored = false;
    // The static layer for decoded pictures, for frames shown as stored.
    std::shared_ptr<const StaticLayerPictures> staticLayerPictures;

    // The signal the HUD is written in: the picture's (SDR, PQ or HLG).
    HudSignal hudSignal = HudSignal::sdr;

    OverlayRenderSharedState(const OverlayExportJob& job, int renderWidth, int renderHeight,
                             PictureOrientation orientation = {},
                             HudSignal hudSignal = HudSignal::sdr);

    OverlayTimelineView timelineView() const {
        return {timelineSegments,   sampleSources,  sampleBoundsBySource,
                sampleSourceLabels, overlayOptions, sampleSourceOffsetSeconds,
                lapClocks};
    }
};

}  // namespace skelder
