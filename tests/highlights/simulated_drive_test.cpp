// Plans over recordings written by the recorder writer, with staged driving events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "highlights/planning.hpp"
#include "highlights/scoring.hpp"
#include "highlights/session_provider.hpp"
#include "kovra_writer/kovra_writer.hpp"
#include "samples/sample_telemetry.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

constexpr double kG = 9.80665;
constexpr double kDriveSeconds = 360;

using samples::DriveState;

double wave(double t, double period) {
    return std::sin(2 * std::numbers::pi * t / period);
}

double rpmOf(double radiansPerSecond) {
    return radiansPerSecond * 60 / (2 * std::numbers::pi);
}

DriveState idle() {
    DriveState state;
    state.engineRpm = rpmOf(85);
    return state;
}

DriveState cruise(double t) {
    DriveState state;
    state.speedMps = 30 + 3 * wave(t, 23);
    state.throttle = 0.45 + 0.15 * wave(t, 17);
    state.engineRpm = rpmOf(400 + 50 * wave(t, 11));
    state.gear = 4;
    state.lateralAccelerationMps2 = 0.25 * kG * wave(t, 9);
    state.longitudinalAccelerationMps2 = 0.1 * kG * wave(t, 13);
    state.steeringAngleRadians = 0.1 * wave(t, 9);
    return state;
}

DriveState corner(double t, double start, double latG) {
    DriveState state = cruise(t);
    const bool entry = t < start + 2;
    state.throttle = entry ? 0.0 : 0.3;
    state.brake = entry ? 0.7 : 0.0;
    state.speedMps = 22;
    state.lateralAccelerationMps2 = latG * kG * (0.9 + 0.1 * wave(t, 3));
    state.longitudinalAccelerationMps2 = entry ? -0.9 * kG : 0.2 * kG;
    state.steeringAngleRadians = 0.8;
    return state;
}

DriveState fullThrottle(double t, double start) {
    DriveState state = cruise(t);
    state.throttle = 1.0;
    state.speedMps = 20 + 1.5 * (t - start);
    state.engineRpm = rpmOf(500 + 20 * (t - start));
    state.lateralAccelerationMps2 = 0.05 * kG;
    state.longitudinalAccelerationMps2 = 0.35 * kG;
    return state;
}

// Idle in the pits, cruising with two hard corners, a 20 s and a 3 s full-throttle run, a pit
// stop and idling at the end.
DriveState stagedDrive(double t) {
    if (t < 30 || (t >= 260 && t < 300) || t >= 330)
        return idle();
    if (t >= 80 && t < 88)
        return corner(t, 80, 1.3);
    if (t >= 120 && t < 140)
        return fullThrottle(t, 120);
    if (t >= 200 && t < 207)
        return corner(t, 200, 1.45);
    if (t >= 240 && t < 243)
        return fullThrottle(t, 240);
    return cruise(t);
}

double channelValue(const kovra::ChannelDefinition& channel, double t) {
    return samples::recordedChannelValue(channel, stagedDrive(t));
}

class SimulatedDrive : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory = new testing::TempDir();
        recording = new std::filesystem::path(*directory / "drive.mp4");
        kovra::RecordingOptions options;
        options.durationSeconds = kDriveSeconds;
        options.valueAt = channelValue;
        kovra::writeRecording(*recording, options);
        data = new ParsedTelemetryData(
            BasicTelemetryExtractionService().extractTelemetry(*recording, true, true));
    }
    static void TearDownTestSuite() {
        delete data;
        delete recording;
        delete directory;
    }

    static std::vector<HighlightSegment> plan(HighlightFilterMode mode) {
        std::vector<FeatureBucket> buckets;
        for (const auto& timestamped : data->contiguousBuckets)
            buckets.push_back(timestamped.bucket);
        return planHighlightSegments(data->contiguousBuckets, scoreHighlightSeconds(buckets, mode),
                                     mode);
    }

    static bool covers(const std::vector<HighlightSegment>& segments, std::int64_t first,
                       std::int64_t last) {
        for (const auto& segment : segments) {
            if (segment.startSecond <= first && segment.endSecond >= last)
                return true;
        }
        return false;
    }

    static bool touches(const std::vector<HighlightSegment>& segments, std::int64_t first,
                        std::int64_t last) {
        for (const auto& segment : segments) {
            if (segment.endSecond >= first && segment.startSecond <= last)
                return true;
        }
        return false;
    }

    static testing::TempDir* directory;
    static std::filesystem::path* recording;
    static ParsedTelemetryData* data;
};

testing::TempDir* SimulatedDrive::directory = nullptr;
std::filesystem::path* SimulatedDrive::recording = nullptr;
ParsedTelemetryData* SimulatedDrive::data = nullptr;

TEST_F(SimulatedDrive, TheRecordingHasOneBucketPerSecond) {
    ASSERT_EQ(data->contiguousBuckets.size(), static_cast<std::size_t>(kDriveSeconds));
    EXPECT_NEAR(data->contiguousBuckets[84].bucket.latAbsMaxG, 1.3, 0.05);
    EXPECT_EQ(data->contiguousBuckets[130].bucket.throttleMax, 1.0);
}

TEST_F(SimulatedDrive, BothModesSelectTheHardCornersAndTheLongFullThrottleRun) {
    for (const auto mode : {HighlightFilterMode::onlyBest, HighlightFilterMode::maybeInteresting}) {
        SCOPED_TRACE(textForm(mode));
        const auto segments = plan(mode);
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
    }
}

TEST_F(SimulatedDrive, IdleStretchesAreNotSelected) {
    for (const auto mode : {HighlightFilterMode::onlyBest, HighlightFilterMode::maybeInteresting}) {
        SCOPED_TRACE(textForm(mode));
        const auto segments = plan(mode);
        // The idle stretches away from their edges, where padding may reach in.
        EXPECT_FALSE(touches(segments, 0, 25));
        EXPECT_FALSE(touches(segments, 265, 295));
        EXPECT_FALSE(touches(segments, 335, 359));
    }
}

TEST_F(SimulatedDrive, TheLenientModeFindsAtLeastWhatTheStrictOneFinds) {
    const auto strict = plan(HighlightFilterMode::onlyBest);
    const auto lenient = plan(HighlightFilterMode::maybeInteresting);
    ASSERT_FALSE(strict.empty());
    // Padding and smoothing differ, so the edges may move by a second or two; every event
    // the strict plan found is found again.
    for (const auto& segment : strict) {
        EXPECT_TRUE(touches(lenient, segment.startSecond, segment.endSecond))
            << segment.startSecond << ".." << segment.endSecond;
    }
    EXPECT_GE(lenient.size(), strict.size());
    std::int64_t strictSeconds = 0, lenientSeconds = 0;
    for (const auto& segment : strict)
        strictSeconds += segment.durationSeconds;
    for (const auto& segment : lenient)
        lenientSeconds += segment.durationSeconds;
    EXPECT_GE(lenientSeconds, strictSeconds);
}

TEST_F(SimulatedDrive, TheProviderAnalysesTheRecordingLikeTheDirectPlan) {
    TelemetrySessionProvider provider(std::make_shared<BasicTelemetryExtractionService>(),
                                      std::make_shared<TelemetrySessionCache>());
    const TieredTelemetrySession strict =
        provider.loadTieredSession(*recording, HighlightFilterMode::onlyBest, {});
    const auto plannedStrict = plan(HighlightFilterMode::onlyBest);
    ASSERT_EQ(strict.session.highlightSegments.size(), plannedStrict.size());
    for (std::size_t i = 0; i < plannedStrict.size(); ++i)
        EXPECT_EQ(strict.session.highlightSegments[i], PlannedSegment::from(plannedStrict[i]));
    EXPECT_EQ(strict.session.fileSizeBytes, std::filesystem::file_size(*recording));
    EXPECT_EQ(*strict.session.overlaySamplesByDecisecond, data->overlaySamplesByDecisecond);

    // The timing report of the recording follows the debug table.
    auto lines = highlightDebugLines(plannedStrict);
    lines.insert(lines.end(), {"", "timing debug"});
    const auto report = telemetryTimingReport(data->packetRecords, data->overlaySamplesByDecisecond,
                                              data->headerMinusPTSSeconds);
    lines.insert(lines.end(), report.begin(), report.end());
    EXPECT_EQ(strict.session.highlightSegmentLines, lines);

    // Every strict segment keeps its place, as `best`, in the tiered list.
    const TieredTelemetrySession tiered =
        provider.loadTieredSession(*recording, HighlightFilterMode::maybeInteresting, {});
    for (const auto& segment : strict.session.highlightSegments) {
        const auto tier = tiered.tiers.find(PlannedSegmentKey::of(segment));
        ASSERT_NE(tier, tiered.tiers.end()) << segment.startSecond << ".." << segment.endSecond;
        EXPECT_EQ(tier->second, HighlightTier::best);
    }
    EXPECT_EQ(provider.cache()->size(), 2u);
}

}  // namespace
}  // namespace skelder
