#include "samples/engine_sound.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace skelder::samples {

namespace {
constexpr std::uint64_t kRoadNoiseStream = 100;
}

EngineSound::EngineSound(const DriveSimulation& drive, std::uint64_t seed, int sampleRate)
    : drive_(drive), noise_(seed), sampleRate_(sampleRate) {}

void EngineSound::render(std::span<float> out) {
    const double tau = 2 * std::numbers::pi;
    for (float& sample : out) {
        const double seconds = static_cast<double>(nextSample_) / sampleRate_;
        const DriveState state = drive_.stateAt(seconds);
        firingPhase_ += firingFrequencyHz(state.engineRpm) / sampleRate_;
        firingPhase_ = std::fmod(firingPhase_, 2.0);
        const double p = firingPhase_;
        const double tone = 0.5 * std::sin(tau * p) + 0.3 * std::sin(2 * tau * p + 0.5) +
                            0.15 * std::sin(3 * tau * p + 1.1) + 0.12 * std::sin(0.5 * tau * p);
        const double loudness = 0.10 + 0.20 * state.throttle;

        const double speedShare = std::min(1.0, state.speedMps / 70.0);
        const double white =
            noise_.uniform(kRoadNoiseStream, static_cast<std::uint64_t>(nextSample_));
        roadNoise_ += (0.05 + 0.25 * speedShare) * (white - roadNoise_);
        const double road = (0.015 + 0.06 * speedShare) * roadNoise_;

        sample = static_cast<float>(std::clamp(loudness * tone + road, -0.95, 0.95));
        ++nextSample_;
    }
}

}  // namespace skelder::samples
