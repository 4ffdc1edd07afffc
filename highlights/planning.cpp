#include "highlights/planning.hpp"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "highlights/series_statistics.hpp"

namespace skelder {
namespace {

using Index = std::int64_t;

// Appends the maximal runs of qualifying indices that are at least `minimumRun` long. After a
// run the first non-qualifying index is skipped without being examined again.
template <class Qualifies>
void appendRuns(Index n, Index minimumRun, Qualifies qualifies, std::vector<SecondRange>& ranges) {
    Index i = 0;
    while (i < n) {
        if (!qualifies(i)) {
            ++i;
            continue;
        }
        Index j = i + 1;
        while (j < n && qualifies(j))
            ++j;
        if (j - i >= minimumRun)
            ranges.push_back({i, j - 1});
        i = j + 1;
    }
}

// Maximal runs of scores at or above the seed threshold.
std::vector<SecondRange> hotStretches(std::span<const double> scores, double threshold) {
    std::vector<SecondRange> ranges;
    appendRuns(
        static_cast<Index>(scores.size()), 1,
        [&](Index i) { return scores[static_cast<std::size_t>(i)] >= threshold; }, ranges);
    return ranges;
}

std::vector<SecondRange> padSortAndMerge(std::vector<SecondRange> ranges, Index n,
                                         const HighlightPlannerParameters& p) {
    for (SecondRange& range : ranges) {
        range.start = std::max(range.start - p.paddingBeforeSeconds, Index{0});
        range.end = std::min(range.end + p.paddingAfterSeconds, n - 1);
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const SecondRange& a, const SecondRange& b) { return a.start < b.start; });
    std::vector<SecondRange> merged;
    for (const SecondRange& range : ranges) {
        // Overlapping or directly adjacent ranges join.
        if (!merged.empty() && merged.back().end + 1 >= range.start) {
            merged.back().end = std::max(merged.back().end, range.end);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

// Answers "does s..e overlap any forced stretch" in constant time: forced stretches are
// index ranges, so an overlap exists exactly when some index of s..e lies in one.
class ForcedCoverage {
  public:
    ForcedCoverage(std::span<const SecondRange> forced, Index n)
        : coveredBefore_(static_cast<std::size_t>(n) + 1) {
        std::vector<Index> delta(static_cast<std::size_t>(n) + 1);
        for (const SecondRange& range : forced) {
            ++delta[static_cast<std::size_t>(range.start)];
            --delta[static_cast<std::size_t>(range.end) + 1];
        }
        Index depth = 0;
        for (Index i = 0; i < n; ++i) {
            depth += delta[static_cast<std::size_t>(i)];
            coveredBefore_[static_cast<std::size_t>(i) + 1] =
                coveredBefore_[static_cast<std::size_t>(i)] + (depth > 0 ? 1 : 0);
        }
    }

    bool overlaps(Index start, Index end) const {
        return coveredBefore_[static_cast<std::size_t>(end) + 1] >
               coveredBefore_[static_cast<std::size_t>(start)];
    }

  private:
    std::vector<Index> coveredBefore_;
};

// Sort key for "higher total first" that stays a strict weak order when a total is not a
// number (such totals rank last).
double rankingTotal(double total) {
    return std::isnan(total) ? -std::numeric_limits<double>::infinity() : total;
}

std::vector<HighlightSegment> selectSegments(std::vector<HighlightSegment> candidates,
                                             const HighlightPlannerParameters& p) {
    std::sort(candidates.begin(), candidates.end(),
              [](const HighlightSegment& a, const HighlightSegment& b) {
                  if (a.isForced != b.isForced)
                      return a.isForced;
                  const double totalA = rankingTotal(a.totalScore);
                  const double totalB = rankingTotal(b.totalScore);
                  if (totalA != totalB)
                      return totalA > totalB;
                  return a.startSecond < b.startSecond;
              });
    std::vector<HighlightSegment> selected;
    std::int64_t totalSeconds = 0;
    for (const HighlightSegment& candidate : candidates) {
        if (!candidate.isForced) {
            if (static_cast<std::int64_t>(selected.size()) >= p.maximumSegmentCount)
                break;
            if (totalSeconds + candidate.durationSeconds > p.maximumTotalSeconds &&
                !selected.empty())
                continue;
        }
        selected.push_back(candidate);
        totalSeconds += candidate.durationSeconds;
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const HighlightSegment& a, const HighlightSegment& b) {
                         return a.startSecond < b.startSecond;
                     });
    return selected;
}

}  // namespace

std::vector<SecondRange> findForcedRanges(std::span<const TimestampedFeatureBucket> buckets,
                                          const HighlightPlannerParameters& p) {
    const auto n = static_cast<Index>(buckets.size());
    const auto at = [&](Index i) -> const FeatureBucket& {
        return buckets[static_cast<std::size_t>(i)].bucket;
    };
    std::vector<SecondRange> ranges;
    appendRuns(
        n, p.fullThrottleMinimumRunSeconds,
        [&](Index i) {
            return at(i).throttleMax >= p.fullThrottleMinimum &&
                   at(i).brakeMax <= p.fullThrottleBrakeMaximum;
        },
        ranges);
    appendRuns(
        n, p.accelerationMinimumRunSeconds,
        [&](Index i) {
            const double previousSpeed = at(i == 0 ? 0 : i - 1).speedMaxMps;
            const double gain = std::max(at(i).speedMaxMps - previousSpeed, 0.0);
            return at(i).throttleMax >= p.accelerationThrottleMinimum &&
                   at(i).brakeMax <= p.accelerationBrakeMaximum &&
                   gain >= p.accelerationMinimumSpeedGain;
        },
        ranges);
    return ranges;
}

std::vector<HighlightSegment> planHighlightSegments(
    std::span<const TimestampedFeatureBucket> buckets, std::span<const double> scores,
    HighlightFilterMode filterMode) {
    return planHighlightSegments(buckets, scores, plannerParameters(filterMode));
}

std::vector<HighlightSegment> planHighlightSegments(
    std::span<const TimestampedFeatureBucket> buckets, std::span<const double> scores,
    const HighlightPlannerParameters& p) {
    const auto n = static_cast<Index>(buckets.size());
    if (n == 0 || scores.size() != buckets.size())
        return {};

    const double seedPercentile = percentileValue(scores, p.seedPercentile);
    const double threshold = std::isnan(seedPercentile)
                                 ? p.minimumSeedScore
                                 : std::max(p.minimumSeedScore, seedPercentile);

    std::vector<SecondRange> candidates = hotStretches(scores, threshold);
    const std::vector<SecondRange> forced = findForcedRanges(buckets, p);
    candidates.insert(candidates.end(), forced.begin(), forced.end());
    const std::vector<SecondRange> merged = padSortAndMerge(std::move(candidates), n, p);
    const ForcedCoverage coverage(forced, n);

    std::vector<HighlightSegment> segments;
    for (const auto [s, e] : merged) {
        const Index length = e - s + 1;
        if (length < p.minimumSegmentSeconds)
            continue;
        double total = 0;
        double peak = -std::numeric_limits<double>::infinity();
        for (Index i = s; i <= e; ++i) {
            const double score = scores[static_cast<std::size_t>(i)];
            total += score;
            peak = std::max(peak, score);
        }
        const double average = total / static_cast<double>(length);
        const bool isForced = coverage.overlaps(s, e);
        if (!isForced && average < p.minimumAverageScore)
            continue;

        double latPeak = -std::numeric_limits<double>::infinity();
        double latSum = 0;
        std::int64_t latSustain = 0;
        for (Index i = s; i <= e; ++i) {
            const double lat = buckets[static_cast<std::size_t>(i)].bucket.latAbsMaxG;
            latPeak = std::max(latPeak, lat);
            latSum += lat;
            if (lat >= p.lateralSustainThresholdG)
                ++latSustain;
        }
        if (!isForced && latSustain < p.minimumLateralSustainSeconds)
            continue;

        segments.push_back({
            .startSecond = buckets[static_cast<std::size_t>(s)].second,
            .endSecond = buckets[static_cast<std::size_t>(e)].second,
            .durationSeconds = length,
            .totalScore = total,
            .averageScore = average,
            .peakScore = peak,
            .latPeakG = latPeak,
            .latAverageG = latSum / static_cast<double>(length),
            .latSustainSeconds = latSustain,
            .isForced = isForced,
        });
    }
    return selectSegments(std::move(segments), p);
}

std::vector<std::string> highlightDebugLines(std::span<const HighlightSegment> segments) {
    if (segments.empty())
        return {kNoHighlightSegmentsLine};
    std::vector<std::string> lines;
    lines.reserve(segments.size() + 3);
    lines.emplace_back("seg start end dur sum avg peak latpk latav latsus forced");
    std::int64_t totalDuration = 0;
    for (std::size_t index = 0; index < segments.size(); ++index) {
        const HighlightSegment& s = segments[index];
        lines.push_back(fmt::sprintf("%3d %5d %5d %3d %7.3f %6.3f %6.3f %6.3f %6.3f %6d", index,
                                     s.startSecond, s.endSecond, s.durationSeconds, s.totalScore,
                                     s.averageScore, s.peakScore, s.latPeakG, s.latAverageG,
                                     s.latSustainSeconds) +
                        (s.isForced ? " yes" : " no"));
        totalDuration += s.durationSeconds;
    }
    lines.emplace_back();
    lines.push_back(
        fmt::format("summary segments={} total_duration={}s", segments.size(), totalDuration));
    return lines;
}

}  // namespace skelder
