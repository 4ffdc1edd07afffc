#include "samples/engine_sound.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "samples/sample_error.hpp"

namespace skelder::samples {

namespace {
constexpr std::uint64_t kRoadNoiseStream = 100;
constexpr std::uint64_t kWindStream = 101;
constexpr std::uint64_t kMusicStream = 102;
constexpr double kLargestLevel = 10;
constexpr double kLongestDelaySeconds = 10;
constexpr double kNoteSeconds = 0.4;
// The radio's tune: notes of the A minor pentatonic scale, in semitones above 220 Hz.
constexpr int kScale[] = {0, 3, 5, 7, 10, 12, 15, 17};

bool validLevel(double level) {
    return std::isfinite(level) && level >= 0 && level <= kLargestLevel;
}
}  // namespace

void validateEngineSoundOptions(const EngineSoundOptions& options) {
    if (options.cylinders < 1 || options.cylinders > 16) {
        throw SampleOptionsError("The engine must have 1 to 16 cylinders");
    }
    if (!std::isfinite(options.delaySeconds) ||
        std::abs(options.delaySeconds) > kLongestDelaySeconds) {
        throw SampleOptionsError("The engine sound delay must be within 10 seconds");
    }
    if (!validLevel(options.roadNoiseLevel) || !validLevel(options.windLevel) ||
        !validLevel(options.musicLevel)) {
        throw SampleOptionsError("The road noise, wind and music levels must be from 0 to 10");
    }
}

EngineSound::EngineSound(const DriveSimulation& drive, const EngineSoundOptions& options,
                         std::uint64_t seed, int sampleRate)
    : drive_(drive), options_(options), noise_(seed), sampleRate_(sampleRate) {}

double EngineSound::windAt(double seconds, double speedShare, std::uint64_t index) {
    // Low rumble with a hiss on top, in gusts, growing with the square of the speed.
    const double white = noise_.uniform(kWindStream, index);
    windRumble_ += 0.01 * (white - windRumble_);
    windNoise_ += 0.3 * (white - windNoise_);
    const double gust = 0.7 + 0.3 * std::sin(2 * std::numbers::pi * 0.23 * seconds +
                                             6 * noise_.fraction(kWindStream));
    return options_.windLevel * (0.01 + 0.12 * speedShare * speedShare) * gust *
           (6 * windRumble_ + 0.5 * windNoise_);
}

double EngineSound::musicAt(double seconds) const {
    const auto note = static_cast<std::uint64_t>(std::floor(seconds / kNoteSeconds));
    const double step = 0.5 + 0.5 * noise_.uniform(kMusicStream, note);
    const int semitones = kScale[static_cast<std::size_t>(step * 7.999)];
    const double hz = 220.0 * std::exp2(semitones / 12.0);
    const double bassHz = 110.0 * std::exp2(kScale[(note / 4) % 3] / 12.0);
    const double intoNote = seconds - static_cast<double>(note) * kNoteSeconds;
    const double envelope = std::exp(-3.0 * intoNote);
    const double tau = 2 * std::numbers::pi;
    const double melody = std::sin(tau * hz * seconds) + 0.4 * std::sin(2 * tau * hz * seconds);
    const double bass = std::sin(tau * bassHz * seconds);
    return options_.musicLevel * 0.08 * (envelope * melody + 0.6 * bass);
}

void EngineSound::render(std::span<float> out) {
    const double tau = 2 * std::numbers::pi;
    const double firingOrder = options_.cylinders / 2.0;
    for (float& sample : out) {
        const double seconds = static_cast<double>(nextSample_) / sampleRate_;
        const DriveState state = drive_.stateAt(seconds - options_.delaySeconds);
        crankPhase_ = std::fmod(crankPhase_ + state.engineRpm / 60.0 / sampleRate_, 2.0);
        const double p = crankPhase_ * firingOrder;
        const double tone = 0.5 * std::sin(tau * p) + 0.3 * std::sin(2 * tau * p + 0.5) +
                            0.15 * std::sin(3 * tau * p + 1.1) + 0.12 * std::sin(tau * crankPhase_);
        const double loudness = 0.10 + 0.20 * state.throttle;

        const double speedShare = std::min(1.0, state.speedMps / 70.0);
        const auto index = static_cast<std::uint64_t>(nextSample_);
        const double white = noise_.uniform(kRoadNoiseStream, index);
        roadNoise_ += (0.05 + 0.25 * speedShare) * (white - roadNoise_);
        double value =
            loudness * tone + options_.roadNoiseLevel * (0.015 + 0.06 * speedShare) * roadNoise_;
        if (options_.windLevel > 0)
            value += windAt(seconds, speedShare, index);
        if (options_.musicLevel > 0)
            value += musicAt(seconds);

        sample = static_cast<float>(std::clamp(value, -0.95, 0.95));
        ++nextSample_;
    }
}

}  // namespace skelder::samples
