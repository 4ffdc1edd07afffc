#include "sync/pitch_change_track.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "core/cancellation.hpp"

namespace skelder::sync {
namespace {

// An engine-like tone (fundamental and two harmonics) whose fundamental glides exponentially,
// f(t) = startHz x e^(rate t), so every pitch change over the span is rate x span.
media::MonoAudio glidingTone(double startSeconds, double seconds, double startHz, double rate) {
    const auto count = static_cast<std::size_t>(seconds * kPitchSampleRate);
    media::MonoAudio audio{startSeconds, kPitchSampleRate, std::vector<float>(count), count};
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kPitchSampleRate;
        phase += 2 * std::numbers::pi * startHz * std::exp(rate * t) / kPitchSampleRate;
        audio.samples[i] = static_cast<float>(0.3 * std::sin(phase) + 0.2 * std::sin(2 * phase) +
                                              0.1 * std::sin(3 * phase + 1));
    }
    return audio;
}

TEST(PitchChangeTrack, FollowsAGlidingToneWhateverItsFundamental) {
    // The same glide on a 3-, 4- and 8-cylinder engine's firing frequency from 2000 rpm.
    for (const double startHz : {50.0, 66.7, 133.3}) {
        for (const double rate : {0.25, -0.2}) {
            SCOPED_TRACE(testing::Message() << startHz << " Hz, rate " << rate);
            const auto changes = trackPitchChanges(glidingTone(0, 3, startHz, rate), {});
            ASSERT_GT(changes.size(), 200u);
            for (const PitchChange& change : changes) {
                EXPECT_NEAR(change.logChange, rate * kPitchChangeSpanSeconds, 0.01)
                    << change.seconds;
                EXPECT_GT(change.weight, 0.5) << change.seconds;
            }
        }
    }
}

TEST(PitchChangeTrack, SilenceWeighsNothingAndNoiseLittle) {
    media::MonoAudio silence = glidingTone(0, 2, 80, 0);
    std::fill(silence.samples.begin(), silence.samples.end(), 0.0f);
    for (const PitchChange& change : trackPitchChanges(silence, {}))
        EXPECT_EQ(change.weight, 0) << change.seconds;

    media::MonoAudio noise = silence;
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0, 0.2f);
    for (float& sample : noise.samples)
        sample = gauss(random);
    double total = 0;
    const auto changes = trackPitchChanges(noise, {});
    for (const PitchChange& change : changes)
        total += change.weight;
    EXPECT_LT(total / static_cast<double>(changes.size()), 0.3);
}

TEST(PitchChangeTrack, TooShortSoundGivesNothingAndAStopEndsTheWork) {
    EXPECT_TRUE(trackPitchChanges(glidingTone(0, 0.4, 80, 0), {}).empty());
    media::MonoAudio other = glidingTone(0, 1, 80, 0);
    other.sampleRate = 8000;
    EXPECT_THROW(trackPitchChanges(other, {}), std::invalid_argument);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(trackPitchChanges(glidingTone(0, 3, 80, 0), stop.get_token()), CancellationError);
}

}  // namespace
}  // namespace skelder::sync
