#include "samples/engine_sound.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "samples/sample_error.hpp"
#include "samples/sample_recording.hpp"
#include "tests/samples/media_probe.hpp"

namespace skelder::samples {
namespace {

constexpr int kRate = 48000;

// The sound of a drive from the start to `seconds` plus a quarter of a second.
std::vector<float> render(const DriveSimulation& drive, const EngineSoundOptions& options,
                          double seconds) {
    EngineSound sound(drive, options, 3, kRate);
    std::vector<float> samples(static_cast<std::size_t>((seconds + 0.25) * kRate));
    sound.render(samples);
    return samples;
}

// The firing frequency heard in the half second before `seconds`, the end of the samples.
double heardHz(const std::vector<float>& samples, double seconds) {
    const auto first = static_cast<std::size_t>((seconds - 0.25) * kRate);
    return testing::dominantFrequencyHz(samples, first, kRate / 2, kRate, 40, 600);
}

// In the pit lane, at 10 s, the limiter holds the engine speed steady.
constexpr double kSteadySeconds = 10;

TEST(EngineSound, FiresCylindersOverTwoTimesPerRevolution) {
    const DriveSimulation drive({.durationSeconds = 30, .seed = 3});
    const double rpm = drive.stateAt(kSteadySeconds).engineRpm;
    for (const int cylinders : {3, 4, 6}) {
        const auto samples = render(drive, {.cylinders = cylinders}, kSteadySeconds);
        const double expected = rpm / 60 * cylinders / 2;
        EXPECT_DOUBLE_EQ(EngineSound::firingFrequencyHz(rpm, cylinders), expected);
        EXPECT_NEAR(heardHz(samples, kSteadySeconds), expected, 0.03 * expected) << cylinders;
    }
}

TEST(EngineSound, ADelayPlaysTheEngineLaterOrEarlier) {
    const DriveSimulation drive({.durationSeconds = 30, .seed = 3});
    // The engine idles steadily at 2.5 s, well below the limiter's speed at 10 s.
    const double idle = 2.5;
    const double idleHz = EngineSound::firingFrequencyHz(drive.stateAt(idle).engineRpm);
    const double limiterHz =
        EngineSound::firingFrequencyHz(drive.stateAt(kSteadySeconds).engineRpm);
    ASSERT_GT(limiterHz, 2 * idleHz);
    const double gap = kSteadySeconds - idle;
    EXPECT_NEAR(heardHz(render(drive, {.delaySeconds = gap}, kSteadySeconds), kSteadySeconds),
                idleHz, 0.03 * idleHz);
    EXPECT_NEAR(heardHz(render(drive, {.delaySeconds = -gap}, idle), idle), limiterHz,
                0.03 * limiterHz);
}

TEST(EngineSound, NoiseWindAndMusicAddSoundAndStayWithinFullScale) {
    const DriveSimulation drive({.durationSeconds = 30, .seed = 3});
    const auto energy = [&](const EngineSoundOptions& options) {
        const auto samples = render(drive, options, 20);
        double squares = 0;
        for (const float s : samples) {
            EXPECT_LE(std::abs(s), 0.95f);
            squares += static_cast<double>(s) * s;
        }
        return squares;
    };
    const double plain = energy({});
    EXPECT_GT(energy({.roadNoiseLevel = 5}), plain);
    EXPECT_GT(energy({.windLevel = 3}), plain);
    EXPECT_GT(energy({.musicLevel = 3}), plain);
    EXPECT_LT(energy({.roadNoiseLevel = 0}), plain);
}

TEST(EngineSound, RejectsOptionsOutOfRange) {
    const auto messageFor = [](const EngineSoundOptions& options) -> std::string {
        try {
            validateEngineSoundOptions(options);
        } catch (const SampleOptionsError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(messageFor({}), "");
    EXPECT_EQ(messageFor({.cylinders = 0}), "The engine must have 1 to 16 cylinders");
    EXPECT_EQ(messageFor({.cylinders = 17}), "The engine must have 1 to 16 cylinders");
    EXPECT_EQ(messageFor({.cylinders = 16, .delaySeconds = -10}), "");
    const std::string delay = "The engine sound delay must be within 10 seconds";
    EXPECT_EQ(messageFor({.delaySeconds = 10.5}), delay);
    EXPECT_EQ(messageFor({.delaySeconds = std::nan("")}), delay);
    const std::string levels = "The road noise, wind and music levels must be from 0 to 10";
    EXPECT_EQ(messageFor({.roadNoiseLevel = -1}), levels);
    EXPECT_EQ(messageFor({.windLevel = 11}), levels);
    EXPECT_EQ(messageFor({.musicLevel = HUGE_VAL}), levels);
    EXPECT_EQ(messageFor({.roadNoiseLevel = 10, .windLevel = 10, .musicLevel = 10}), "");
    EXPECT_THROW(validateSampleOptions({.sound = {.cylinders = 0}}), SampleOptionsError);
}

}  // namespace
}  // namespace skelder::samples
