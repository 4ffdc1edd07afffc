#include "highlights/tiers.hpp"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>

#include "highlights/planning.hpp"

namespace skelder {
namespace {

// Whether `current` wins against `kept`, neither of them strict or both strict.
bool outranks(const PlannedSegment& current, const PlannedSegment& kept) {
    if (current.totalScore != kept.totalScore)
        return current.totalScore > kept.totalScore;
    if (current.durationSeconds != kept.durationSeconds)
        return current.durationSeconds > kept.durationSeconds;
    if (current.peakScore != kept.peakScore)
        return current.peakScore > kept.peakScore;
    if (current.startSecond != kept.startSecond)
        return current.startSecond < kept.startSecond;
    return current.endSecond < kept.endSecond;
}

}  // namespace

std::vector<PlannedSegment> resolveSegmentOverlaps(
    std::span<const PlannedSegment> segments,
    const std::unordered_set<PlannedSegmentKey>& strictKeys) {
    std::vector<PlannedSegment> kept;
    for (const PlannedSegment& current : segments) {
        if (kept.empty() || kept.back().endSecond < current.startSecond) {
            kept.push_back(current);
            continue;
        }
        PlannedSegment& last = kept.back();
        const bool currentStrict = strictKeys.contains(PlannedSegmentKey::of(current));
        const bool lastStrict = strictKeys.contains(PlannedSegmentKey::of(last));
        const bool currentSurvives =
            currentStrict != lastStrict ? currentStrict : outranks(current, last);
        if (currentSurvives)
            last = current;
    }
    return kept;
}

TieredTelemetrySession mergeTieredSegments(const TelemetrySession& lenient,
                                           const TelemetrySession& strict) {
    std::unordered_map<PlannedSegmentKey, PlannedSegment> byKey;
    for (const PlannedSegment& segment : lenient.highlightSegments)
        byKey.insert_or_assign(PlannedSegmentKey::of(segment), segment);
    for (const PlannedSegment& segment : strict.highlightSegments)
        byKey.insert_or_assign(PlannedSegmentKey::of(segment), segment);
    std::unordered_set<PlannedSegmentKey> strictKeys;
    for (const PlannedSegment& segment : strict.highlightSegments)
        strictKeys.insert(PlannedSegmentKey::of(segment));

    std::vector<PlannedSegment> ordered;
    ordered.reserve(byKey.size());
    for (const auto& [key, segment] : byKey)
        ordered.push_back(segment);
    std::sort(ordered.begin(), ordered.end(), [](const PlannedSegment& a, const PlannedSegment& b) {
        if (a.startSecond != b.startSecond)
            return a.startSecond < b.startSecond;
        return a.endSecond < b.endSecond;
    });

    TieredTelemetrySession result;
    result.session.inputURL = lenient.inputURL;
    result.session.fileSizeBytes = lenient.fileSizeBytes;
    result.session.overlaySamplesByDecisecond = lenient.overlaySamplesByDecisecond;
    result.session.highlightSegments = resolveSegmentOverlaps(ordered, strictKeys);
    result.session.highlightSegmentLines = highlightPreviewLines(result.session.highlightSegments);
    for (const PlannedSegment& segment : result.session.highlightSegments) {
        const PlannedSegmentKey key = PlannedSegmentKey::of(segment);
        result.tiers.emplace(
            key, strictKeys.contains(key) ? HighlightTier::best : HighlightTier::maybeAdditional);
    }
    return result;
}

TieredTelemetrySession allBestTiers(TelemetrySession strict) {
    TieredTelemetrySession result{std::move(strict), {}};
    for (const PlannedSegment& segment : result.session.highlightSegments)
        result.tiers.emplace(PlannedSegmentKey::of(segment), HighlightTier::best);
    return result;
}

std::vector<std::string> highlightPreviewLines(std::span<const PlannedSegment> segments) {
    if (segments.empty())
        return {kNoHighlightSegmentsLine};
    std::vector<std::string> lines;
    lines.reserve(segments.size() + 1);
    std::int64_t totalDuration = 0;
    for (std::size_t index = 0; index < segments.size(); ++index) {
        const PlannedSegment& s = segments[index];
        lines.push_back(
            fmt::sprintf("#%02d start=%4ds end=%4ds duration=%3ds total=%7.3f avg=%6.3f peak=%6.3f",
                         index + 1, s.startSecond, s.endSecond, s.durationSeconds, s.totalScore,
                         s.averageScore, s.peakScore));
        totalDuration += s.durationSeconds;
    }
    lines.push_back(
        fmt::format("summary segments={} total_duration={}s", segments.size(), totalDuration));
    return lines;
}

}  // namespace skelder
