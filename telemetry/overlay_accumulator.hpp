#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "telemetry/packet_decoding.hpp"
#include "telemetry/telemetry_types.hpp"

namespace skelder {

// The longest stretch of recording the grid covers: twelve hours of deciseconds. Real
// recordings are far shorter; a malformed file whose value times lie further apart keeps
// the window from its earliest value on, instead of allocating for the whole distance.
inline constexpr std::int64_t kMaximumGridDeciseconds = 12 * 3600 * 10;

// One decisecond's values as they arrive; each field is absent until a value sets it.
struct PartialOverlaySample {
    enum Field : std::uint8_t {
        kSpeed = 1 << 0,
        kThrottle = 1 << 1,
        kBrake = 1 << 2,
        kRpm = 1 << 3,
        kGear = 1 << 4,
        kLatG = 1 << 5,
        kLonG = 1 << 6,
        kSteering = 1 << 7,
    };
    std::uint8_t present = 0;
    OverlayTelemetrySample values;
};

struct AccumulatedTelemetry {
    DecisecondGrid grid;
    std::map<std::int64_t, FeatureBucket> bucketsBySecond;
};

// Collects decoded values into deciseconds (last value wins) and, optionally, per-second
// feature maxima; finish() fills the gaps by carrying values forward and repairs gear.
class OverlayAccumulator {
  public:
    explicit OverlayAccumulator(bool collectBuckets) : collectBuckets_(collectBuckets) {}

    void add(const ResolvedChannel& channel, const ChannelValueEvent& event);
    AccumulatedTelemetry finish() &&;

  private:
    PartialOverlaySample& partialAt(std::int64_t decisecond);
    FeatureBucket& bucketAt(std::int64_t second);

    bool collectBuckets_;
    std::unordered_map<std::int64_t, PartialOverlaySample> partials_;
    std::unordered_map<std::int64_t, FeatureBucket> buckets_;
    std::int64_t firstDecisecond_ = INT64_MAX;
    std::int64_t cachedDecisecond_ = INT64_MIN;
    PartialOverlaySample* cachedPartial_ = nullptr;
    std::int64_t cachedSecond_ = INT64_MIN;
    FeatureBucket* cachedBucket_ = nullptr;
};

// Fills recording-wide gaps between bucketed seconds with empty buckets.
std::vector<TimestampedFeatureBucket> contiguousBuckets(
    const std::map<std::int64_t, FeatureBucket>& bucketsBySecond);

// Bridges short runs (under 0.7 s) of invalid gears (below 1, or 13) with the gear before.
void repairGearGaps(std::vector<OverlayTelemetrySample>& samples);

}  // namespace skelder
