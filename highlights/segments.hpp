#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace skelder {

// One planned highlight with the statistics the planner chose it by.
struct HighlightSegment {
    std::int64_t startSecond = 0;  // second of the first bucket
    std::int64_t endSecond = 0;    // second of the last bucket, inclusive
    std::int64_t durationSeconds = 0;
    double totalScore = 0;
    double averageScore = 0;
    double peakScore = 0;
    double latPeakG = 0;
    double latAverageG = 0;
    std::int64_t latSustainSeconds = 0;  // seconds at or above the lateral sustain threshold
    bool isForced = false;               // overlaps a full-throttle or acceleration stretch

    friend bool operator==(const HighlightSegment&, const HighlightSegment&) = default;
};

// The part of a HighlightSegment that sessions keep.
struct PlannedSegment {
    std::int64_t startSecond = 0;
    std::int64_t endSecond = 0;
    std::int64_t durationSeconds = 0;
    double totalScore = 0;
    double averageScore = 0;
    double peakScore = 0;

    static PlannedSegment from(const HighlightSegment& segment) {
        return {segment.startSecond, segment.endSecond,    segment.durationSeconds,
                segment.totalScore,  segment.averageScore, segment.peakScore};
    }

    friend bool operator==(const PlannedSegment&, const PlannedSegment&) = default;
};

// Identifies a planned segment of one file (tier maps, exclusions).
struct PlannedSegmentKey {
    std::int64_t startSecond = 0;
    std::int64_t endSecond = 0;

    static PlannedSegmentKey of(const PlannedSegment& segment) {
        return {segment.startSecond, segment.endSecond};
    }

    friend bool operator==(const PlannedSegmentKey&, const PlannedSegmentKey&) = default;
};

// An inclusive range of bucket indices used while planning.
struct SecondRange {
    std::int64_t start = 0;
    std::int64_t end = 0;

    friend bool operator==(const SecondRange&, const SecondRange&) = default;
};

}  // namespace skelder

template <>
struct std::hash<skelder::PlannedSegmentKey> {
    std::size_t operator()(const skelder::PlannedSegmentKey& key) const noexcept {
        const std::size_t start = std::hash<std::int64_t>{}(key.startSecond);
        const std::size_t end = std::hash<std::int64_t>{}(key.endSecond);
        return start ^ (end + 0x9e3779b97f4a7c15ull + (start << 6) + (start >> 2));
    }
};
