#pragma once

#include <cstdint>

#include "highlights/filter_mode.hpp"

namespace skelder {

// The thresholds of one filter mode; scoring and planning use the same set.
struct HighlightPlannerParameters {
    double combinedPercentile;            // percentile of combined G used as baseline
    double lateralPercentile;             // percentile of lateral G used as baseline
    double longitudinalPercentile;        // percentile of longitudinal G used as baseline
    std::int64_t smoothingWindowSeconds;  // trailing mean window for lateral G
    double lateralSustainThresholdG;      // lateral G that counts as sustained cornering
    double idlePenalty;                   // subtracted from idle seconds
    double seedPercentile;                // percentile of scores used as seed threshold
    double minimumSeedScore;              // lower bound of the seed threshold
    std::int64_t paddingBeforeSeconds;
    std::int64_t paddingAfterSeconds;
    std::int64_t minimumSegmentSeconds;
    std::int64_t maximumSegmentCount;           // forced segments count towards it
    std::int64_t maximumTotalSeconds;           // duration budget of the selection
    double minimumAverageScore;                 // of a non-forced segment
    std::int64_t minimumLateralSustainSeconds;  // of a non-forced segment
    double fullThrottleMinimum;
    double fullThrottleBrakeMaximum;
    std::int64_t fullThrottleMinimumRunSeconds;
    double accelerationThrottleMinimum;
    double accelerationBrakeMaximum;
    double accelerationMinimumSpeedGain;  // metres per second over the previous second
    std::int64_t accelerationMinimumRunSeconds;
};

// The lenient set of "maybeInteresting".
inline constexpr HighlightPlannerParameters kLenientPlannerParameters{
    .combinedPercentile = 0.65,
    .lateralPercentile = 0.62,
    .longitudinalPercentile = 0.62,
    .smoothingWindowSeconds = 3,
    .lateralSustainThresholdG = 0.3,
    .idlePenalty = 0.3,
    .seedPercentile = 0.78,
    .minimumSeedScore = 0.35,
    .paddingBeforeSeconds = 2,
    .paddingAfterSeconds = 2,
    .minimumSegmentSeconds = 3,
    .maximumSegmentCount = 10,
    .maximumTotalSeconds = 110,
    .minimumAverageScore = 0.6,
    .minimumLateralSustainSeconds = 1,
    .fullThrottleMinimum = 0.96,
    .fullThrottleBrakeMaximum = 0.08,
    .fullThrottleMinimumRunSeconds = 2,
    .accelerationThrottleMinimum = 0.8,
    .accelerationBrakeMaximum = 0.12,
    .accelerationMinimumSpeedGain = 0.55,
    .accelerationMinimumRunSeconds = 2,
};

// The strict set of "onlyBest".
inline constexpr HighlightPlannerParameters kStrictPlannerParameters{
    .combinedPercentile = 0.7,
    .lateralPercentile = 0.68,
    .longitudinalPercentile = 0.68,
    .smoothingWindowSeconds = 4,
    .lateralSustainThresholdG = 0.36,
    .idlePenalty = 0.45,
    .seedPercentile = 0.88,
    .minimumSeedScore = 0.6,
    .paddingBeforeSeconds = 2,
    .paddingAfterSeconds = 2,
    .minimumSegmentSeconds = 4,
    .maximumSegmentCount = 6,
    .maximumTotalSeconds = 75,
    .minimumAverageScore = 1.15,
    .minimumLateralSustainSeconds = 2,
    .fullThrottleMinimum = 0.98,
    .fullThrottleBrakeMaximum = 0.05,
    .fullThrottleMinimumRunSeconds = 2,
    .accelerationThrottleMinimum = 0.86,
    .accelerationBrakeMaximum = 0.1,
    .accelerationMinimumSpeedGain = 0.7,
    .accelerationMinimumRunSeconds = 2,
};

constexpr const HighlightPlannerParameters& plannerParameters(HighlightFilterMode mode) {
    return mode == HighlightFilterMode::maybeInteresting ? kLenientPlannerParameters
                                                         : kStrictPlannerParameters;
}

}  // namespace skelder
