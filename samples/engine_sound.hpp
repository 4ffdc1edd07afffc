#pragma once

#include <cstdint>
#include <span>

#include "samples/drive_simulation.hpp"
#include "samples/seeded_noise.hpp"

namespace skelder::samples {

// What a sample's soundtrack holds besides the engine: tests make recordings with a known lag of
// the sound and known interference.
struct EngineSoundOptions {
    // A four-stroke engine fires cylinders / 2 times per revolution; 1 to 16.
    int cylinders = 4;
    // The sound runs this much behind the picture (negative: ahead of it), as a camera whose audio
    // path lags its video does; within 10 s. The telemetry advance that puts the HUD's engine
    // speed in step with the sound is then the telemetry lag minus this delay.
    double delaySeconds = 0;
    // Levels from 0 to 10 of road noise (1 is the car's own), wind rising with speed, and music
    // from the car's radio (a tune of sine notes); 0 leaves them out.
    double roadNoiseLevel = 1;
    double windLevel = 0;
    double musicLevel = 0;
};

// Throws SampleOptionsError naming the option that is out of range.
void validateEngineSoundOptions(const EngineSoundOptions& options);

// The car's sound from inside: an engine tone at the firing frequency (cylinders / 2 times the
// crankshaft rate) with a few harmonics and the crankshaft's own order, louder on throttle, plus
// road noise that grows with speed and, when asked for, wind and music. Mono, samples in [-1, 1].
class EngineSound {
  public:
    EngineSound(const DriveSimulation& drive, const EngineSoundOptions& options, std::uint64_t seed,
                int sampleRate);

    // Fills `out` with the next samples; the first call starts at time 0.
    void render(std::span<float> out);

    // Firing frequency in hertz at an engine speed.
    static double firingFrequencyHz(double engineRpm, int cylinders = 4) {
        return engineRpm / 60.0 * cylinders / 2.0;
    }

  private:
    double windAt(double seconds, double speedShare, std::uint64_t index);
    double musicAt(double seconds) const;

    const DriveSimulation& drive_;
    EngineSoundOptions options_;
    SeededNoise noise_;
    double sampleRate_;
    std::int64_t nextSample_ = 0;
    double crankPhase_ = 0;  // in revolutions, kept in [0, 2): one four-stroke cycle
    double roadNoise_ = 0;
    double windNoise_ = 0;
    double windRumble_ = 0;
};

}  // namespace skelder::samples
