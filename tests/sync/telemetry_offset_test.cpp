#include "sync/telemetry_offset.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "core/cancellation.hpp"
#include "samples/sample_recording.hpp"
#include "telemetry/extraction_error.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/sync/engine_tone_recording.hpp"

namespace skelder::sync {
namespace {

// A 50 Hz engine speed value reaches the HUD as its decisecond's last one, sent 80 ms into it
// and shown at the decisecond's start: the advance that puts the HUD in step with the sound is
// the telemetry's lag minus the sound's delay minus these 80 ms.
constexpr double kHudLagOfTheGridMilliseconds = 80;

double sampleTruthMilliseconds(const samples::SampleOptions& options) {
    return (options.telemetryLagSeconds - options.sound.delaySeconds) * 1000 -
           kHudLagOfTheGridMilliseconds;
}

std::string describe(const TelemetryOffsetEstimate& estimate) {
    if (!estimate.offsetMilliseconds)
        return "no estimate: " + noEstimateText(*estimate.noEstimateReason);
    return fmt::format("{:+.0f} ms, confidence {:.3f}{}", *estimate.offsetMilliseconds,
                       estimate.confidence, estimate.trusted ? ", trusted" : "");
}

class TelemetryOffsetTest : public ::testing::Test {
  protected:
    std::filesystem::path writeSample(const samples::SampleOptions& options,
                                      const std::string& name = "sample.mp4") {
        const auto path = dir_ / name;
        testing::copySampleRecording(path, options);
        return path;
    }

    std::filesystem::path writeTone(const testing::EngineToneSpec& spec, const std::string& name) {
        const auto path = dir_ / name;
        testing::makeEngineToneRecording(path, spec);
        return path;
    }

    static samples::SampleOptions smallSample() {
        return {.seconds = 30, .width = 64, .height = 64};
    }

    testing::TempDir dir_;
};

// Recordings whose sound ffmpeg synthesised (aevalsrc, a tone following a known engine speed
// curve, delayed by a known amount, mixed with anoisesrc road noise) and whose telemetry carries
// the same curve: at least 5 of 6 estimates lie within a frame at 30 fps of the truth, and no
// estimate further than 100 ms from it is trusted.
TEST_F(TelemetryOffsetTest, FindsTheAdvanceOfToneRecordingsMadeByAnotherGenerator) {
    const double delays[] = {0, 0.3, -0.4, 1.0, 0.05, -1.0};
    const double lags[] = {0.65, 0.0, 0.65, 0.2, 1.2, 0.0};
    const int cylinders[] = {4, 6, 3, 4, 8, 4};
    const double noise[] = {0.03, 0.05, 0.08, 0.1, 0.05, 0.15};
    const char* colours[] = {"pink", "brown", "pink", "white", "pink", "brown"};
    int withinAFrame = 0;
    for (int i = 0; i < 6; ++i) {
        const testing::EngineToneSpec spec{.seconds = 20,
                                           .cylinders = cylinders[i],
                                           .baseRpm = 3000 + 150.0 * i,
                                           .gearSeconds = 2.93 + 0.37 * i,
                                           .soundDelaySeconds = delays[i],
                                           .telemetryLagSeconds = lags[i],
                                           .noiseColour = colours[i],
                                           .noiseAmplitude = noise[i],
                                           .seed = i + 1};
        const auto path = writeTone(spec, fmt::format("tone{}.mp4", i));
        const TelemetryOffsetEstimate estimate = estimateTelemetryOffset(path);
        std::filesystem::remove(path);
        const double truth = testing::hudAdvanceMilliseconds(spec);
        SCOPED_TRACE(
            fmt::format("recording {}: truth {:+.0f} ms, {}", i, truth, describe(estimate)));
        std::printf("recording %d: truth %+.0f ms, %s\n", i, truth, describe(estimate).c_str());
        if (!estimate.offsetMilliseconds)
            continue;
        const double error = std::abs(*estimate.offsetMilliseconds - truth);
        if (error <= 33)
            ++withinAFrame;
        if (estimate.trusted) {
            EXPECT_LE(error, 100);
        }
    }
    EXPECT_GE(withinAFrame, 5);
}

// The sample writer's engine speed changes abruptly at gear shifts, and the HUD's moves in
// decisecond steps, so a change is placed only to within half a decisecond: 50 ms.
TEST_F(TelemetryOffsetTest, FindsTheAdvanceOfSampleRecordingsAcrossTheRange) {
    struct Case {
        double lagSeconds;
        double delaySeconds;
        int cylinders;
        double roadNoise;
    };
    // Advances of -1200, 0, +600 and +1200 ms, with 3-, 4- and 6-cylinder engines, the car's own
    // road noise and three times as much.
    const Case cases[] = {{0.0, 1.12, 3, 1}, {0.65, 0.57, 6, 3}, {0.68, 0, 4, 1}, {1.28, 0, 6, 3}};
    for (const Case& c : cases) {
        samples::SampleOptions options = smallSample();
        options.telemetryLagSeconds = c.lagSeconds;
        options.sound.delaySeconds = c.delaySeconds;
        options.sound.cylinders = c.cylinders;
        options.sound.roadNoiseLevel = c.roadNoise;
        const TelemetryOffsetEstimate estimate = estimateTelemetryOffset(writeSample(options));
        const double truth = sampleTruthMilliseconds(options);
        const std::string line = fmt::format("truth {:+.0f} ms, {} cylinders, road noise {}: {}",
                                             truth, c.cylinders, c.roadNoise, describe(estimate));
        SCOPED_TRACE(line);
        std::printf("%s\n", line.c_str());
        ASSERT_TRUE(estimate.offsetMilliseconds.has_value());
        EXPECT_NEAR(*estimate.offsetMilliseconds, truth, 50);
        EXPECT_TRUE(estimate.trusted);
        EXPECT_GE(estimate.confidence, kTrustedConfidence);
        EXPECT_FALSE(estimate.noEstimateReason.has_value());
        EXPECT_GT(estimate.analysedSeconds, 10);
    }
}

TEST_F(TelemetryOffsetTest, GivesNoEstimateWithoutSoundOrWithASteadyEngine) {
    const auto expectNoEstimate = [](const std::filesystem::path& path, NoEstimateReason reason) {
        const TelemetryOffsetEstimate estimate = estimateTelemetryOffset(path);
        SCOPED_TRACE(path.filename().string() + ": " + describe(estimate));
        EXPECT_FALSE(estimate.offsetMilliseconds.has_value());
        EXPECT_EQ(estimate.noEstimateReason, reason);
        EXPECT_EQ(estimate.confidence, 0);
        EXPECT_FALSE(estimate.trusted);
    };
    samples::SampleOptions withoutSound = smallSample();
    withoutSound.audio = false;
    expectNoEstimate(writeSample(withoutSound, "mute.mp4"), NoEstimateReason::noAudio);
    EXPECT_EQ(noEstimateText(NoEstimateReason::noAudio), "the recording has no audio track");

    testing::EngineToneSpec steady{.seconds = 20, .gearRpm = 0, .swellRpm = 0};
    expectNoEstimate(writeTone(steady, "steady.mp4"), NoEstimateReason::steadyEngineSpeed);
    EXPECT_EQ(noEstimateText(NoEstimateReason::steadyEngineSpeed),
              "the engine speed hardly changes");

    testing::EngineToneSpec silent{.seconds = 20, .toneAmplitude = 0, .noiseAmplitude = 0};
    expectNoEstimate(writeTone(silent, "silent.mp4"), NoEstimateReason::silentAudio);
    EXPECT_EQ(noEstimateText(NoEstimateReason::silentAudio),
              "the sound is silent where the engine speed changes");
}

TEST_F(TelemetryOffsetTest, FailsWithTypedErrorsAndStopsWhenAsked) {
    const auto junk = dir_ / "junk.mp4";
    testing::writeFile(junk, std::vector<std::uint8_t>(64, 0));
    EXPECT_THROW(estimateTelemetryOffset(junk), TelemetryExtractionError);
    EXPECT_THROW(estimateTelemetryOffset(dir_ / "missing.mp4"), std::filesystem::filesystem_error);

    samples::SampleOptions options = smallSample();
    options.seconds = 20;
    const auto path = writeSample(options);
    EXPECT_THROW(estimateTelemetryOffset(path, {.searchRangeMilliseconds = -1}),
                 std::invalid_argument);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(estimateTelemetryOffset(path, {}, stop.get_token()), CancellationError);
}

}  // namespace
}  // namespace skelder::sync
