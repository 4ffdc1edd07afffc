// Plans over recordings written by the recorder writer, with staged driving events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "highlights/planning.hpp"
#include "highlights/scoring.hpp"
#include "highlights/session_provider.hpp"
#include "tests/support/staged_drive.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

constexpr double kDriveSeconds = 360;

using samples::DriveState;
using testing::cornering;
using testing::cruising;
using testing::flatOut;
using testing::idling;

// Idle in the pits, cruising with two hard corners, a 20 s and a 3 s full-throttle run, a pit
// stop and idling at the end.
DriveState stagedDrive(double t) {
    if (t < 30 || (t >= 260 && t < 300) || t >= 330)
        return idling();
    if (t >= 80 && t < 88)
        return cornering(t, 80, 1.3);
    if (t >= 120 && t < 140)
        return flatOut(t, 120);
    if (t >= 200 && t < 207)
        return cornering(t, 200, 1.45);
    if (t >= 240 && t < 243)
        return flatOut(t, 240);
    return cruising(t);
}

std::vector<HighlightSegment> plan(const ParsedTelemetryData& data, HighlightFilterMode mode) {
    std::vector<FeatureBucket> buckets;
    for (const auto& timestamped : data.contiguousBuckets)
        buckets.push_back(timestamped.bucket);
    return planHighlightSegments(data.contiguousBuckets, scoreHighlightSeconds(buckets, mode),
                                 mode);
}

bool covers(const std::vector<HighlightSegment>& segments, std::int64_t first, std::int64_t last) {
    return std::any_of(segments.begin(), segments.end(), [&](const HighlightSegment& s) {
        return s.startSecond <= first && s.endSecond >= last;
    });
}

bool touches(const std::vector<HighlightSegment>& segments, std::int64_t first, std::int64_t last) {
    return std::any_of(segments.begin(), segments.end(), [&](const HighlightSegment& s) {
        return s.endSecond >= first && s.startSecond <= last;
    });
}

TEST(SimulatedDrive, BothModesSelectTheEventsLeaveTheIdleStretchesAndTheProviderAgrees) {
    testing::TempDir directory;
    const auto recording = directory / "drive.mp4";
    testing::writeStagedDrive(recording, kDriveSeconds, stagedDrive);
    const ParsedTelemetryData data =
        BasicTelemetryExtractionService().extractTelemetry(recording, true, true);
    ASSERT_EQ(data.contiguousBuckets.size(), static_cast<std::size_t>(kDriveSeconds));
    EXPECT_NEAR(data.contiguousBuckets[84].bucket.latAbsMaxG, 1.3, 0.05);

    for (const auto mode : {HighlightFilterMode::onlyBest, HighlightFilterMode::maybeInteresting}) {
        SCOPED_TRACE(textForm(mode));
        const auto segments = plan(data, mode);
        for (const auto& line : highlightDebugLines(segments))
            SCOPED_TRACE(line);
        EXPECT_TRUE(covers(segments, 80, 87)) << "first hard corner";
        EXPECT_TRUE(covers(segments, 200, 206)) << "hardest corner";
        EXPECT_TRUE(covers(segments, 120, 139)) << "long full-throttle run";
        EXPECT_TRUE(covers(segments, 240, 242)) << "short full-throttle run";
        for (const auto& segment : segments) {
            if (segment.startSecond <= 130 && segment.endSecond >= 130) {
                EXPECT_TRUE(segment.isForced);
            }
            if (segment.startSecond <= 203 && segment.endSecond >= 203) {
                EXPECT_GE(segment.latPeakG, 1.4);
            }
        }
        // The idle stretches away from their edges, where padding may reach in.
        EXPECT_FALSE(touches(segments, 0, 25));
        EXPECT_FALSE(touches(segments, 265, 295));
        EXPECT_FALSE(touches(segments, 335, 359));
    }
    // Padding and smoothing differ, so the edges may move by a second or two; every event the
    // strict plan found, the lenient one finds again.
    const auto strictPlan = plan(data, HighlightFilterMode::onlyBest);
    const auto lenientPlan = plan(data, HighlightFilterMode::maybeInteresting);
    ASSERT_FALSE(strictPlan.empty());
    for (const auto& segment : strictPlan)
        EXPECT_TRUE(touches(lenientPlan, segment.startSecond, segment.endSecond))
            << segment.startSecond << ".." << segment.endSecond;
    EXPECT_GE(lenientPlan.size(), strictPlan.size());

    TelemetrySessionProvider provider(std::make_shared<BasicTelemetryExtractionService>(),
                                      std::make_shared<TelemetrySessionCache>());
    const TieredTelemetrySession strict =
        provider.loadTieredSession(recording, HighlightFilterMode::onlyBest, {});
    ASSERT_EQ(strict.session.highlightSegments.size(), strictPlan.size());
    for (std::size_t i = 0; i < strictPlan.size(); ++i)
        EXPECT_EQ(strict.session.highlightSegments[i], PlannedSegment::from(strictPlan[i]));
    EXPECT_EQ(strict.session.fileSizeBytes, std::filesystem::file_size(recording));
    EXPECT_EQ(*strict.session.overlaySamplesByDecisecond, data.overlaySamplesByDecisecond);
    // The timing report of the recording follows the debug table.
    auto lines = highlightDebugLines(strictPlan);
    lines.insert(lines.end(), {"", "timing debug"});
    const auto report = telemetryTimingReport(data.packetRecords, data.overlaySamplesByDecisecond,
                                              data.headerMinusPTSSeconds);
    lines.insert(lines.end(), report.begin(), report.end());
    EXPECT_EQ(strict.session.highlightSegmentLines, lines);
    // Every strict segment keeps its place, as `best`, in the tiered list.
    const TieredTelemetrySession tiered =
        provider.loadTieredSession(recording, HighlightFilterMode::maybeInteresting, {});
    for (const auto& segment : strict.session.highlightSegments) {
        const auto tier = tiered.tiers.find(PlannedSegmentKey::of(segment));
        ASSERT_NE(tier, tiered.tiers.end()) << segment.startSecond << ".." << segment.endSecond;
        EXPECT_EQ(tier->second, HighlightTier::best);
    }
}

}  // namespace
}  // namespace skelder
