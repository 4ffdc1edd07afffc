#include "export/highlights_reel.hpp"

#include <cmath>

#include "core/cancellation.hpp"
#include "export/export_error.hpp"
#include "media/probed_files.hpp"

namespace skelder {
namespace {

constexpr std::int32_t kReelTimescale = 600;

media::MediaTime atSeconds(double seconds) {
    return {std::llround(seconds * kReelTimescale), kReelTimescale};
}

// The stretches of a recording to lay in: its ranges, else its segments.
std::vector<ReelRange> rangesOf(const HighlightsReelInput& input) {
    if (!input.ranges.empty())
        return input.ranges;
    std::vector<ReelRange> ranges;
    for (const PlannedSegment& segment : input.highlightSegments) {
        ranges.push_back(
            {static_cast<double>(segment.startSecond), static_cast<double>(segment.endSecond + 1)});
    }
    return ranges;
}

}  // namespace

OverlayExportJob makeHighlightsReelJob(const std::vector<HighlightsReelInput>& inputs,
                                       const HighlightsOverlayOptions& overlayOptions,
                                       std::stop_token stop) {
    OverlayExportJob job;
    job.overlayOptions = overlayOptions;
    media::Composition composition;
    media::MediaTime cursor = media::MediaTime::zero();
    // Each file probed once here; the export reads them through the same probes.
    auto files = std::make_shared<media::ProbedFiles>();

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        throwIfCancelled(stop);
        const HighlightsReelInput& input = inputs[i];
        // Source index i always means input i, pieces or not.
        job.sampleSources.push_back(input.overlaySamplesByDecisecond
                                        ? *input.overlaySamplesByDecisecond
                                        : DecisecondGrid());
        job.sampleSourceLabels.push_back(input.inputURL.filename().string());
        job.sampleSourceOffsetSeconds.push_back(
            input.timeOffsetSeconds.value_or(overlayOptions.timeOffsetSeconds));
        job.lapClocks.push_back(input.lapClock);

        const media::Asset& asset = files->asset(input.inputURL);
        if (!asset.videoTrack())
            throw ExportError::missingVideoTrack();
        if (i == 0)
            composition.setPreferredTransform(asset.videoTrack()->preferredTransform);
        const media::MediaTime duration = asset.duration().value_or(media::MediaTime::zero());

        for (const ReelRange& range : rangesOf(input)) {
            const media::MediaTime start = atSeconds(range.startSeconds);
            const media::MediaTime end = atSeconds(range.endSeconds);
            const media::MediaTime clampedStart =
                max(media::MediaTime::zero(), min(start, duration));
            const media::MediaTime clampedEnd = max(clampedStart, min(end, duration));
            const media::MediaTime length = clampedEnd - clampedStart;
            if (length <= media::MediaTime::zero())
                continue;
            composition.appendTimeRange(input.inputURL, {clampedStart, length});
            job.timelineSegments.push_back({cursor.seconds(), (cursor + length).seconds(),
                                            clampedStart.seconds(), static_cast<std::int64_t>(i)});
            cursor = cursor + length;
        }
    }
    if (cursor <= media::MediaTime::zero())
        throw ExportError::noHighlightsSelected();
    job.asset = media::MediaSource::composition(composition, std::move(files));
    job.duration = cursor;
    return job;
}

}  // namespace skelder
