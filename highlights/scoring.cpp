#include "highlights/scoring.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "highlights/series_statistics.hpp"

namespace skelder {
namespace {

// Fixed for both modes.
constexpr double kThrottleBaselinePercentile = 0.5;
constexpr double kRpmBaselinePercentile = 0.65;
constexpr double kPedalNoise = 0.04;
constexpr double kLaunchThrottleMinimum = 0.88;
constexpr double kLaunchBrakeMaximum = 0.08;
constexpr double kLaunchGainFloor = 0.35;
constexpr double kIdlePedalMaximum = 0.03;
constexpr double kIdleBrakeMaximum = 0.05;
constexpr double kIdleThrottleMaximum = 0.15;

// Raises a negative excess to 0.
double excess(double value) {
    return std::max(value, 0.0);
}

// Length of the run of set flags ending at each index (0 where unset).
template <class Predicate>
std::vector<std::int64_t> runLengths(std::size_t count, Predicate isSet) {
    std::vector<std::int64_t> runs(count);
    std::int64_t run = 0;
    for (std::size_t i = 0; i < count; ++i) {
        run = isSet(i) ? run + 1 : 0;
        runs[i] = run;
    }
    return runs;
}

struct SecondSeries {
    std::vector<double> lat, lon, combined, throttle, brake, rpm, speed;

    explicit SecondSeries(std::span<const FeatureBucket> buckets) {
        for (auto* series : {&lat, &lon, &combined, &throttle, &brake, &rpm, &speed})
            series->reserve(buckets.size());
        for (const FeatureBucket& bucket : buckets) {
            lat.push_back(bucket.latAbsMaxG);
            lon.push_back(bucket.lonAbsMaxG);
            combined.push_back(std::hypot(bucket.latAbsMaxG, bucket.lonAbsMaxG));
            throttle.push_back(bucket.throttleMax);
            brake.push_back(bucket.brakeMax);
            rpm.push_back(bucket.rpmMax);
            speed.push_back(bucket.speedMaxMps);
        }
    }
};

}  // namespace

std::vector<double> scoreHighlightSeconds(std::span<const FeatureBucket> buckets,
                                          HighlightFilterMode filterMode) {
    return scoreHighlightSeconds(buckets, plannerParameters(filterMode));
}

std::vector<double> scoreHighlightSeconds(std::span<const FeatureBucket> buckets,
                                          const HighlightPlannerParameters& p) {
    const std::size_t n = buckets.size();
    if (n == 0)
        return {};
    const SecondSeries s(buckets);

    double maxRpm = 0.0;
    for (const double value : s.rpm)
        maxRpm = std::max(maxRpm, value);
    const std::vector<double> smoothLat = trailingMean(s.lat, p.smoothingWindowSeconds);
    const std::vector<std::int64_t> latRun =
        runLengths(n, [&](std::size_t i) { return s.lat[i] >= p.lateralSustainThresholdG; });
    const double pComb = percentileValue(s.combined, p.combinedPercentile);
    const double pLat = percentileValue(s.lat, p.lateralPercentile);
    const double pLon = percentileValue(s.lon, p.longitudinalPercentile);
    const double pThr = percentileValue(s.throttle, kThrottleBaselinePercentile);
    const double pRpm = percentileValue(s.rpm, kRpmBaselinePercentile);
    const double rpmNorm = std::max(pRpm, 1.0);
    const bool rpmFallback = maxRpm > 1.0 && pRpm < 1.0;

    // Speed gained over the previous second; second 0 compares with itself.
    const auto gainAt = [&](std::size_t i) {
        return excess(s.speed[i] - s.speed[i == 0 ? 0 : i - 1]);
    };
    const auto fullThrottleAt = [&](std::size_t i) {
        return s.throttle[i] >= p.fullThrottleMinimum && s.brake[i] <= p.fullThrottleBrakeMaximum;
    };
    const auto hardAccelAt = [&](std::size_t i) {
        return s.throttle[i] >= p.accelerationThrottleMinimum &&
               s.brake[i] <= p.accelerationBrakeMaximum &&
               gainAt(i) >= p.accelerationMinimumSpeedGain;
    };
    const std::vector<std::int64_t> ftRun = runLengths(n, fullThrottleAt);
    const std::vector<std::int64_t> accRun = runLengths(n, hardAccelAt);

    std::vector<double> scores(n);
    double prevThrottle = 0.0;
    double prevBrake = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double throttle = s.throttle[i];
        const double brake = s.brake[i];
        const double gain = gainAt(i);
        const double combEx = excess(s.combined[i] - pComb);
        const double latEx = excess(s.lat[i] - pLat);
        const double lonEx = excess(s.lon[i] - pLon);
        const double smoothEx = excess(smoothLat[i] - pLat);
        const auto sustain = static_cast<double>(std::max<std::int64_t>(latRun[i] - 1, 0));
        const double pedal = std::fabs(throttle - prevThrottle) + std::fabs(brake - prevBrake);
        const double pedalEx = excess(pedal - kPedalNoise);
        const double thrEx = excess(throttle - pThr);
        const double rpmEx = excess(s.rpm[i] - pRpm);

        // Summed term by term in this order so that equal inputs give equal totals.
        double score = 1.2 * latEx + 1.9 * combEx;
        score += 0.4 * lonEx;
        score += 2.1 * smoothEx;
        score += 0.32 * sustain;
        score += 0.95 * pedalEx;
        score += 1.1 * brake;
        score += 1.35 * thrEx;
        score += (0.7 * rpmEx) / rpmNorm;

        if (throttle >= kLaunchThrottleMinimum && brake <= kLaunchBrakeMaximum) {
            score += 0.9 * (throttle - kLaunchThrottleMinimum);
            score += 1.35 * excess(gain - kLaunchGainFloor);
            score += (0.4 * rpmEx) / rpmNorm;
        }
        if (ftRun[i] > 0)
            score += 0.9 + 0.4 * static_cast<double>(ftRun[i] - 1);
        if (accRun[i] > 0)
            score += 0.75 + 0.35 * static_cast<double>(accRun[i] - 1);
        if (pedal < kIdlePedalMaximum && brake < kIdleBrakeMaximum &&
            throttle < kIdleThrottleMaximum) {
            score -= p.idlePenalty;
        }
        if (rpmFallback)
            score += 0.2 * s.rpm[i] / maxRpm;

        scores[i] = score;
        prevThrottle = throttle;
        prevBrake = brake;
    }
    return scores;
}

}  // namespace skelder
