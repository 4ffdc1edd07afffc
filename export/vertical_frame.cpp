#include "export/vertical_frame.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "overlay/render_sample.hpp"

namespace skelder {
namespace {

constexpr double kTrackStepSeconds = 0.1;
// A lateral acceleration of this much leans the crop as far as it goes.
constexpr double kFullLeanG = 0.8;
// The furthest the crop leans, as a share of the way to the picture's edge.
constexpr double kMostLean = 0.8;
// The smoothing's time constant, applied forwards and backwards (no lag).
constexpr double kSmoothingSeconds = 0.6;
// The fastest the crop pans: the whole spare width in this long.
constexpr double kFullPanSeconds = 2.5;

int even(double value) {
    return std::max(2, 2 * static_cast<int>(std::lround(value / 2)));
}

}  // namespace

std::pair<int, int> verticalFrameSize(int width, int height) {
    if (height >= width)
        return {even(width), even(height)};
    return {even(height), even(height * 16.0 / 9.0)};
}

std::function<double(media::MediaTime)> cropCentreTrack(const OverlayExportJob& job,
                                                        bool followBends, double spare) {
    if (!followBends || spare <= 0)
        return [](media::MediaTime) { return 0.5; };
    std::vector<std::optional<OverlaySampleBounds>> bounds;
    for (const DecisecondGrid& source : job.sampleSources)
        bounds.push_back(makeSampleBounds(source));
    const OverlayTimelineView timeline{job.timelineSegments, job.sampleSources, bounds,
                                       job.sampleSourceLabels, job.overlayOptions,
                                       job.sampleSourceOffsetSeconds};
    const auto steps =
        static_cast<std::size_t>(std::max(job.duration.seconds(), 0.0) / kTrackStepSeconds) + 2;
    const double reach = kMostLean * spare / 2;
    // A right-hand bend (positive lateral acceleration) has its inside to the right.
    std::vector<double> lean(steps, 0.0);
    for (std::size_t i = 0; i < steps; ++i) {
        if (const auto content =
                overlayFrameAt(timeline, static_cast<double>(i) * kTrackStepSeconds)) {
            const double g = content->sample.telemetry.latG;
            lean[i] = std::isfinite(g) ? reach * std::clamp(g / kFullLeanG, -1.0, 1.0) : 0.0;
        }
    }
    const double alpha = 1 - std::exp(-kTrackStepSeconds / kSmoothingSeconds);
    // Smoothed forwards, then backwards, so the crop turns in with the bend, not after it.
    std::vector<double> smooth(lean);
    for (std::size_t i = 1; i < steps; ++i)
        smooth[i] = smooth[i - 1] + alpha * (lean[i] - smooth[i - 1]);
    for (std::size_t i = steps - 1; i-- > 0;)
        smooth[i] = smooth[i + 1] + alpha * (smooth[i] - smooth[i + 1]);
    // No faster than a steady pan.
    const double mostStep = spare * kTrackStepSeconds / kFullPanSeconds;
    for (std::size_t i = 1; i < steps; ++i)
        smooth[i] = std::clamp(smooth[i], smooth[i - 1] - mostStep, smooth[i - 1] + mostStep);
    auto track = std::make_shared<const std::vector<double>>(std::move(smooth));
    return [track](media::MediaTime time) {
        const double position = std::max(time.seconds(), 0.0) / kTrackStepSeconds;
        const auto i = std::min(static_cast<std::size_t>(position), track->size() - 2);
        const double u = std::clamp(position - static_cast<double>(i), 0.0, 1.0);
        return 0.5 + (*track)[i] + u * ((*track)[i + 1] - (*track)[i]);
    };
}

}  // namespace skelder
