#pragma once

#include <algorithm>
#include <filesystem>

#include "export/overlay_export_job.hpp"
#include "media/asset.hpp"
#include "telemetry/extraction_service.hpp"

namespace skelder::testing {

// The job of a full export of one recording with its own telemetry, advanced by `offsetSeconds`.
inline OverlayExportJob fullExportJob(const std::filesystem::path& input,
                                      double offsetSeconds = 0.65) {
    OverlayExportJob job;
    job.asset = media::MediaSource::file(input);
    job.duration = media::Asset::open(input).duration().value_or(media::MediaTime::zero());
    job.timelineSegments = {{0.0, std::max(job.duration.seconds(), 0.001), 0.0, 0}};
    job.sampleSources = {BasicTelemetryExtractionService()
                             .extractTelemetry(input, false, false)
                             .overlaySamplesByDecisecond};
    job.sampleSourceLabels = {input.filename().string()};
    job.overlayOptions = {offsetSeconds, false};
    return job;
}

}  // namespace skelder::testing
