#pragma once

// Telemetry at one source instant: interpolated values, the G-force trail and the peak hold.

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <optional>

#include "overlay/timeline.hpp"
#include "telemetry/decisecond_grid.hpp"

namespace skelder {

// A map from decisecond tick to sample: find returns the sample or nullptr. The grid built by
// the extraction has no holes, but the lookup works for any source, holes included.
template <typename Source>
concept OverlaySampleSource = requires(const Source& source, std::int64_t tick) {
    { source.find(tick) } -> std::convertible_to<const OverlayTelemetrySample*>;
};

namespace detail {

// Samples of a trail: 16 ticks (1.6 s); peak hold: 6 ticks (0.6 s).
inline constexpr std::int64_t kTrailTicks = 16;
inline constexpr std::int64_t kPeakHoldTicks = 6;
inline constexpr double kTrailPointTolerance = 0.000001;
// Far beyond any recording, small enough that tick + 1 never overflows.
inline constexpr double kLargestTickPosition = 1e15;

inline OverlayTelemetrySample interpolate(const OverlayTelemetrySample& a,
                                          const OverlayTelemetrySample& b, double frac) {
    const auto mix = [frac](double from, double to) { return from + frac * (to - from); };
    OverlayTelemetrySample out;
    out.speedMps = mix(a.speedMps, b.speedMps);
    out.throttle = mix(a.throttle, b.throttle);
    out.brake = mix(a.brake, b.brake);
    out.rpm = mix(a.rpm, b.rpm);
    out.latG = mix(a.latG, b.latG);
    out.lonG = mix(a.lonG, b.lonG);
    out.steeringDeg = mix(a.steeringDeg, b.steeringDeg);
    out.gear = frac < 0.5 ? a.gear : b.gear;
    return out;
}

// The first key of a window of `count` ticks ending at anchor, not before minTick.
inline std::int64_t windowStart(std::int64_t anchor, std::int64_t minTick, std::int64_t count) {
    return anchor - minTick > count - 1 ? anchor - (count - 1) : minTick;
}

}  // namespace detail

template <OverlaySampleSource Source>
std::optional<OverlayRenderSample> buildRenderSample(const Source& sampleSource,
                                                     const OverlaySampleBounds& bounds,
                                                     double sourceSeconds) {
    double position = sourceSeconds * 10.0;
    if (!(position > 0)) {
        position = 0;  // negative or NaN
    }
    position = std::min(position, detail::kLargestTickPosition);
    const auto tick = static_cast<std::int64_t>(std::floor(position));
    const double frac = position - static_cast<double>(tick);

    const OverlayTelemetrySample* first = sampleSource.find(bounds.minTick);
    const OverlayTelemetrySample* last = sampleSource.find(bounds.maxTick);
    if (first == nullptr || last == nullptr || bounds.minTick > bounds.maxTick) {
        return std::nullopt;
    }
    const std::int64_t anchor = std::clamp(tick, bounds.minTick, bounds.maxTick);

    const OverlayTelemetrySample* atTick = sampleSource.find(tick);
    const OverlayTelemetrySample* atNext = sampleSource.find(tick + 1);
    OverlayRenderSample result;
    if (atTick != nullptr && atNext != nullptr) {
        result.telemetry = detail::interpolate(*atTick, *atNext, frac);
    } else if (atTick != nullptr) {
        result.telemetry = *atTick;
    } else if (atNext != nullptr) {
        result.telemetry = *atNext;
    } else if (tick < bounds.minTick) {
        result.telemetry = *first;
    } else if (tick > bounds.maxTick) {
        result.telemetry = *last;
    } else {
        return std::nullopt;  // two or more missing ticks: no telemetry here
    }
    const OverlayTelemetrySample& current = result.telemetry;

    result.gHistory.reserve(detail::kTrailTicks + 1);
    for (std::int64_t key = detail::windowStart(anchor, bounds.minTick, detail::kTrailTicks);
         key <= anchor; ++key) {
        if (const OverlayTelemetrySample* stored = sampleSource.find(key)) {
            result.gHistory.push_back({stored->latG, stored->lonG});
        }
    }
    const bool sameAsLast =
        !result.gHistory.empty() &&
        std::abs(result.gHistory.back().latG - current.latG) <= detail::kTrailPointTolerance &&
        std::abs(result.gHistory.back().lonG - current.lonG) <= detail::kTrailPointTolerance;
    if (!sameAsLast) {
        result.gHistory.push_back({current.latG, current.lonG});
    }

    result.currentTotalG = std::hypot(current.latG, current.lonG);
    result.heldPeakG = result.currentTotalG;
    for (std::int64_t key = detail::windowStart(anchor, bounds.minTick, detail::kPeakHoldTicks);
         key <= anchor; ++key) {
        if (const OverlayTelemetrySample* stored = sampleSource.find(key)) {
            result.heldPeakG = std::max(result.heldPeakG, std::hypot(stored->latG, stored->lonG));
        }
    }
    return result;
}

extern template std::optional<OverlayRenderSample> buildRenderSample<DecisecondGrid>(
    const DecisecondGrid&, const OverlaySampleBounds&, double);

}  // namespace skelder
