#pragma once

#include <cstdint>
#include <span>

#include "samples/drive_simulation.hpp"
#include "samples/seeded_noise.hpp"

namespace skelder::samples {

// The car's sound from inside: an engine tone at the firing frequency of a four-cylinder engine
// (twice the crankshaft rate) with a few harmonics, louder on throttle, plus road and wind noise
// that grows with speed. Mono, samples in [-1, 1].
class EngineSound {
  public:
    EngineSound(const DriveSimulation& drive, std::uint64_t seed, int sampleRate);

    // Fills `out` with the next samples; the first call starts at time 0.
    void render(std::span<float> out);

    // Firing frequency in hertz at an engine speed.
    static double firingFrequencyHz(double engineRpm) { return engineRpm / 60.0 * 2.0; }

  private:
    const DriveSimulation& drive_;
    SeededNoise noise_;
    double sampleRate_;
    std::int64_t nextSample_ = 0;
    double firingPhase_ = 0;  // in firing cycles, kept in [0, 2) for the half-order component
    double roadNoise_ = 0;
};

}  // namespace skelder::samples
