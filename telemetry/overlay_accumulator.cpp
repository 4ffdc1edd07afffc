#include "telemetry/overlay_accumulator.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

namespace skelder {
namespace {

constexpr double kStandardGravity = 9.80665;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
// Steering values up to three quarters of a turn are taken as radians, larger as degrees.
constexpr double kLargestRadianSteering = 4.71238898038469;
constexpr std::int64_t kTicksPerDecisecond = 1'000'000;
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr int kGearRepairMaximumRun = 7;

double pedalFraction(double v) {
    double limited = v > 1.0 ? 1.0 : v;
    return limited < 0.0 ? 0.0 : limited;
}

bool isValidGear(std::int64_t gear) {
    return gear >= 1 && gear != 13;
}

// A value in the unit of its grid field, or nothing when the value is not finite before or
// after the conversion (a large engine speed in rad/s overflows in rpm) or, for gears, lies
// beyond the integer range.
std::optional<double> convertedValue(TelemetrySignalKind kind, double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    double converted = v;
    switch (kind) {
        case TelemetrySignalKind::throttle:
        case TelemetrySignalKind::brake:
            converted = pedalFraction(v);
            break;
        case TelemetrySignalKind::rpm:
            converted = v * 60.0 / kTwoPi;
            break;
        case TelemetrySignalKind::gear:
            converted = std::trunc(v);
            if (!(converted >= -9.2e18 && converted <= 9.2e18))
                return std::nullopt;
            break;
        case TelemetrySignalKind::speed:
            converted = v < 0.0 ? 0.0 : v;
            break;
        case TelemetrySignalKind::latAccel:
        case TelemetrySignalKind::lonAccel:
            converted = v / kStandardGravity;
            break;
        case TelemetrySignalKind::steering:
            converted = std::fabs(v) <= kLargestRadianSteering ? v * 180.0 / kPi : v;
            break;
    }
    if (!std::isfinite(converted))
        return std::nullopt;
    return converted;
}

}  // namespace

PartialOverlaySample& OverlayAccumulator::partialAt(std::int64_t decisecond) {
    if (decisecond != cachedDecisecond_) {
        cachedPartial_ = &partials_[decisecond];
        cachedDecisecond_ = decisecond;
    }
    return *cachedPartial_;
}

FeatureBucket& OverlayAccumulator::bucketAt(std::int64_t second) {
    if (second != cachedSecond_) {
        cachedBucket_ = &buckets_[second];
        cachedSecond_ = second;
    }
    return *cachedBucket_;
}

void OverlayAccumulator::add(const ResolvedChannel& channel, const ChannelValueEvent& event) {
    const std::int64_t decisecond = event.valueTicks / kTicksPerDecisecond;
    PartialOverlaySample& partial = partialAt(decisecond);
    if (decisecond < firstDecisecond_)
        firstDecisecond_ = decisecond;

    // A value that is not finite, as recorded, calibrated or converted, marks the decisecond
    // as covered but sets no field, so it can never reach the HUD, the statistics or the
    // scores.
    const std::optional<double> converted =
        channel.kind ? convertedValue(*channel.kind, event.value) : std::nullopt;
    if (converted) {
        OverlayTelemetrySample& values = partial.values;
        switch (*channel.kind) {
            case TelemetrySignalKind::throttle:
                values.throttle = *converted;
                partial.present |= PartialOverlaySample::kThrottle;
                break;
            case TelemetrySignalKind::brake:
                values.brake = *converted;
                partial.present |= PartialOverlaySample::kBrake;
                break;
            case TelemetrySignalKind::rpm:
                values.rpm = *converted;
                partial.present |= PartialOverlaySample::kRpm;
                break;
            case TelemetrySignalKind::gear:
                values.gear = static_cast<std::int64_t>(*converted);
                partial.present |= PartialOverlaySample::kGear;
                break;
            case TelemetrySignalKind::speed:
                values.speedMps = *converted;
                partial.present |= PartialOverlaySample::kSpeed;
                break;
            case TelemetrySignalKind::latAccel:
                values.latG = *converted;
                partial.present |= PartialOverlaySample::kLatG;
                break;
            case TelemetrySignalKind::lonAccel:
                values.lonG = *converted;
                partial.present |= PartialOverlaySample::kLonG;
                break;
            case TelemetrySignalKind::steering:
                values.steeringDeg = *converted;
                partial.present |= PartialOverlaySample::kSteering;
                break;
        }
    }

    if (!collectBuckets_)
        return;
    FeatureBucket& bucket = bucketAt(event.valueTicks / kTicksPerSecond);
    bucket.sampleCount += 1;
    if (!converted)
        return;
    switch (*channel.kind) {
        case TelemetrySignalKind::speed:
            bucket.speedMaxMps = std::max(bucket.speedMaxMps, *converted);
            break;
        case TelemetrySignalKind::throttle:
            bucket.throttleMax = std::max(bucket.throttleMax, *converted);
            break;
        case TelemetrySignalKind::brake:
            bucket.brakeMax = std::max(bucket.brakeMax, *converted);
            break;
        case TelemetrySignalKind::rpm:
            bucket.rpmMax = std::max(bucket.rpmMax, *converted);
            break;
        case TelemetrySignalKind::latAccel:
            bucket.latAbsMaxG = std::max(bucket.latAbsMaxG, std::fabs(*converted));
            break;
        case TelemetrySignalKind::lonAccel:
            bucket.lonAbsMaxG = std::max(bucket.lonAbsMaxG, std::fabs(*converted));
            break;
        case TelemetrySignalKind::gear:
        case TelemetrySignalKind::steering:
            break;
    }
}

AccumulatedTelemetry OverlayAccumulator::finish() && {
    AccumulatedTelemetry result;
    if (partials_.empty())
        return result;

    const std::int64_t first = firstDecisecond_;
    const std::int64_t windowEnd = first + kMaximumGridDeciseconds - 1;
    std::vector<std::pair<std::int64_t, const PartialOverlaySample*>> covered;
    covered.reserve(partials_.size());
    for (const auto& [decisecond, partial] : partials_) {
        if (decisecond <= windowEnd)
            covered.emplace_back(decisecond, &partial);
    }
    std::sort(covered.begin(), covered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::int64_t last = covered.back().first;

    std::vector<OverlayTelemetrySample> samples;
    samples.reserve(static_cast<std::size_t>(last - first + 1));
    OverlayTelemetrySample carried;
    auto next = covered.begin();
    for (std::int64_t d = first; d <= last; ++d) {
        if (next->first == d) {
            const PartialOverlaySample& partial = *next->second;
            const OverlayTelemetrySample& v = partial.values;
            const auto has = [&](PartialOverlaySample::Field field) {
                return (partial.present & field) != 0;
            };
            if (has(PartialOverlaySample::kSpeed))
                carried.speedMps = v.speedMps;
            if (has(PartialOverlaySample::kThrottle))
                carried.throttle = v.throttle;
            if (has(PartialOverlaySample::kBrake))
                carried.brake = v.brake;
            if (has(PartialOverlaySample::kRpm))
                carried.rpm = v.rpm;
            if (has(PartialOverlaySample::kGear))
                carried.gear = v.gear;
            if (has(PartialOverlaySample::kLatG))
                carried.latG = v.latG;
            if (has(PartialOverlaySample::kLonG))
                carried.lonG = v.lonG;
            if (has(PartialOverlaySample::kSteering))
                carried.steeringDeg = v.steeringDeg;
            ++next;
        }
        samples.push_back(carried);
    }
    repairGearGaps(samples);
    result.grid = DecisecondGrid(first, std::move(samples));

    if (collectBuckets_) {
        const std::int64_t firstSecond = first / 10;
        const std::int64_t lastSecond = last / 10;
        for (const auto& [second, bucket] : buckets_) {
            if (second >= firstSecond && second <= lastSecond) {
                result.bucketsBySecond.emplace(second, bucket);
            }
        }
    }
    return result;
}

void repairGearGaps(std::vector<OverlayTelemetrySample>& samples) {
    const std::size_t count = samples.size();
    std::size_t d = 0;
    while (d < count) {
        if (isValidGear(samples[d].gear)) {
            ++d;
            continue;
        }
        std::size_t runEnd = d;
        while (runEnd < count && !isValidGear(samples[runEnd].gear))
            ++runEnd;
        const std::size_t runLength = runEnd - d;
        // A run is bridged only after a valid gear; d - 1 is valid whenever d > 0 here,
        // because runs are found from their first element.
        if (d > 0 && runLength < kGearRepairMaximumRun && isValidGear(samples[d - 1].gear)) {
            for (std::size_t i = d; i < runEnd; ++i)
                samples[i].gear = samples[d - 1].gear;
        }
        d = runEnd;
    }
}

std::vector<TimestampedFeatureBucket> contiguousBuckets(
    const std::map<std::int64_t, FeatureBucket>& bucketsBySecond) {
    std::vector<TimestampedFeatureBucket> list;
    if (bucketsBySecond.empty())
        return list;
    const std::int64_t first = bucketsBySecond.begin()->first;
    const std::int64_t last = bucketsBySecond.rbegin()->first;
    list.reserve(static_cast<std::size_t>(last - first + 1));
    auto next = bucketsBySecond.begin();
    for (std::int64_t second = first; second <= last; ++second) {
        if (next != bucketsBySecond.end() && next->first == second) {
            list.push_back({second, next->second});
            ++next;
        } else {
            list.push_back({second, FeatureBucket{}});
        }
    }
    return list;
}

}  // namespace skelder
