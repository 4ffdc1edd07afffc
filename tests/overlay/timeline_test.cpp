#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "overlay/timeline.hpp"

namespace skelder {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Tick k holds speed k, gear k; other fields derived from k so each tick is distinct.
DecisecondGrid rampGrid(std::int64_t firstKey, int count) {
    std::vector<OverlayTelemetrySample> samples;
    for (int i = 0; i < count; ++i) {
        const double k = static_cast<double>(firstKey + i);
        samples.push_back({k, k / 1000, k / 2000, 100 * k, firstKey + i, k / 100, -k / 100, -k});
    }
    return DecisecondGrid(firstKey, std::move(samples));
}

// Two reel segments: output [0, 4) from source 10 s of file 0, [4, 6.5) from 3 s of file 1.
const std::vector<HighlightTimelineSegment> kReel = {{0, 4, 10, 0}, {4, 6.5, 3, 1}};

TEST(TimelinePosition, MapsOutputTimeIntoTheSourceOfItsSegment) {
    const struct {
        double output;
        std::optional<std::pair<double, std::int64_t>> mapped;  // source seconds and index
    } cases[] = {
        {1.5, std::pair{11.5, 0}}, {6.25, std::pair{5.25, 1}},
        {4.0, std::pair{3.0, 1}},  // a boundary belongs to the later segment
        {6.5, std::nullopt},       {100, std::nullopt},
        {-0.01, std::nullopt},     {kNaN, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto position = resolveTimelinePosition(kReel, c.output);
        ASSERT_EQ(position.has_value(), c.mapped.has_value()) << c.output;
        if (position) {
            EXPECT_DOUBLE_EQ(position->mappedSourceSeconds, c.mapped->first) << c.output;
            EXPECT_EQ(position->sampleSourceIndex, c.mapped->second) << c.output;
        }
    }
    EXPECT_FALSE(resolveTimelinePosition({}, 1));
    // Overlapping segments: the first in list order.
    const std::vector<HighlightTimelineSegment> overlapping = {{2, 5, 100, 7}, {0, 10, 0, 3}};
    EXPECT_EQ(resolveTimelinePosition(overlapping, 3)->sampleSourceIndex, 7);
    EXPECT_EQ(resolveTimelinePosition(overlapping, 1)->sampleSourceIndex, 3);
}

TEST(SampleBounds, SmallestAndLargestKeyOrNoneWhenEmpty) {
    EXPECT_FALSE(makeSampleBounds(DecisecondGrid{}));
    const auto bounds = makeSampleBounds(rampGrid(-3, 10));
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->minTick, -3);
    EXPECT_EQ(bounds->maxTick, 6);
}

// A full export job over one file, as the export workflow builds it.
struct FullExport {
    std::vector<HighlightTimelineSegment> segments = {{0, 30, 0, 0}};
    std::vector<DecisecondGrid> sources;
    std::vector<std::optional<OverlaySampleBounds>> bounds;
    std::vector<std::string> labels = {"lap.mp4"};
    HighlightsOverlayOptions options;
    std::vector<double> offsets;  // per source

    explicit FullExport(DecisecondGrid grid, double offsetSeconds = 0, bool debug = false) {
        bounds.push_back(makeSampleBounds(grid));
        sources.push_back(std::move(grid));
        options = {offsetSeconds, debug};
    }
    OverlayTimelineView view() const {
        return {segments, sources, bounds, labels, options, offsets};
    }
};

TEST(OverlayFrame, APositiveOffsetSamplesLaterTelemetryHalfwayBetweenTicks) {
    const FullExport job(rampGrid(0, 100), 0.25);
    const auto frame = overlayFrameAt(job.view(), 1.0);
    ASSERT_TRUE(frame);
    // 1.25 s: tick 12, halfway to tick 13; the gear switches at exactly half.
    const OverlayTelemetrySample& t = frame->sample.telemetry;
    EXPECT_DOUBLE_EQ(t.speedMps, 12.5);
    EXPECT_DOUBLE_EQ(t.rpm, 1250);
    EXPECT_DOUBLE_EQ(t.steeringDeg, -12.5);
    EXPECT_DOUBLE_EQ(t.latG, 0.125);
    EXPECT_EQ(t.gear, 13);
    EXPECT_FALSE(frame->debugInfo);
}

TEST(OverlayFrame, ANegativeOffsetBeyondTheMappedTimeSamplesTheStart) {
    const FullExport job(rampGrid(0, 100), -5, true);
    const auto frame = overlayFrameAt(job.view(), 1.0);
    ASSERT_TRUE(frame);
    EXPECT_DOUBLE_EQ(frame->sample.telemetry.speedMps, 0);
    ASSERT_TRUE(frame->debugInfo);
    EXPECT_DOUBLE_EQ(frame->debugInfo->outputSeconds, 1.0);
    EXPECT_DOUBLE_EQ(frame->debugInfo->mappedSourceSeconds, 1.0);
    EXPECT_DOUBLE_EQ(frame->debugInfo->adjustedSourceSeconds, 0.0);
    EXPECT_DOUBLE_EQ(frame->debugInfo->timeOffsetSeconds, -5);
    EXPECT_EQ(frame->debugInfo->sampleSourceLabel, "lap.mp4");
    // A negative frame time counts as zero.
    const auto early = overlayFrameAt(FullExport(rampGrid(0, 100), 0, true).view(), -0.4);
    ASSERT_TRUE(early);
    EXPECT_DOUBLE_EQ(early->debugInfo->outputSeconds, 0);
    EXPECT_DOUBLE_EQ(early->sample.telemetry.speedMps, 0);
}

TEST(OverlayFrame, ReelFramesMapToTheirOwnSourceAndLabel) {
    FullExport job(rampGrid(0, 100), 0.5, true);
    job.segments = kReel;
    job.sources.push_back(rampGrid(1000, 200));
    job.bounds.push_back(makeSampleBounds(job.sources.back()));
    job.labels = {"first.mp4"};  // too short for the second source
    const auto frame = overlayFrameAt(job.view(), 4.0);
    ASSERT_TRUE(frame);
    // Segment 2 starts at source 3.0 s; + 0.5 s offset = 3.5 s, before the source's first
    // tick (100 s), so its first sample shows.
    EXPECT_DOUBLE_EQ(frame->sample.telemetry.speedMps, 1000);
    EXPECT_EQ(frame->debugInfo->sampleSourceIndex, 1);
    EXPECT_DOUBLE_EQ(frame->debugInfo->adjustedSourceSeconds, 3.5);
    EXPECT_EQ(frame->debugInfo->sampleSourceLabel, std::nullopt);
}

TEST(OverlayFrame, ReelSourcesWithAdvancesOfTheirOwnSampleByThem) {
    FullExport job(rampGrid(0, 200), 0.5, true);
    job.segments = kReel;
    job.sources.push_back(rampGrid(0, 200));
    job.bounds.push_back(makeSampleBounds(job.sources.back()));
    job.offsets = {-0.2};  // the second source takes the reel's 0.5 s

    const auto first = overlayFrameAt(job.view(), 1.0);  // source 11.0 s
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(first->sample.telemetry.speedMps, 108);
    EXPECT_DOUBLE_EQ(first->debugInfo->timeOffsetSeconds, -0.2);
    const auto second = overlayFrameAt(job.view(), 5.0);  // source 4.0 s
    ASSERT_TRUE(second);
    EXPECT_DOUBLE_EQ(second->sample.telemetry.speedMps, 45);
    EXPECT_DOUBLE_EQ(second->debugInfo->timeOffsetSeconds, 0.5);
}

TEST(OverlayFrame, NoHUDWhenTheGuardsFail) {
    FullExport job(rampGrid(0, 100));
    EXPECT_FALSE(overlayFrameAt(job.view(), 30.0)) << "after the only segment";

    job.segments = {{0, 30, 0, 1}};
    EXPECT_FALSE(overlayFrameAt(job.view(), 1.0)) << "index past the sources";
    job.segments = {{0, 30, 0, -1}};
    EXPECT_FALSE(overlayFrameAt(job.view(), 1.0)) << "negative index";

    const FullExport empty(DecisecondGrid{});
    EXPECT_FALSE(overlayFrameAt(empty.view(), 1.0)) << "source without samples";

    FullExport noBounds(rampGrid(0, 100));
    noBounds.bounds.clear();
    EXPECT_FALSE(overlayFrameAt(noBounds.view(), 1.0)) << "bounds list shorter than sources";
}

}  // namespace
}  // namespace skelder
