#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace skelder::sync {

// Folds a linear-frequency power spectrum onto bands equally spaced in log frequency, so that a
// change of pitch moves every harmonic of a sound by the same number of bands.
class LogFrequencyBands {
  public:
    // Bands centred on lowestHz x 2^(i / bandsPerOctave) up to highestHz, for the power spectrum
    // of an FFT of `fftSize` samples at `sampleRate`. Each band is a triangle spanning its
    // neighbours' centres; where it is narrower than the FFT's bins it interpolates them.
    LogFrequencyBands(std::size_t fftSize, double sampleRate, double lowestHz, double highestHz,
                      int bandsPerOctave);

    std::size_t count() const { return bands_.size(); }
    int bandsPerOctave() const { return bandsPerOctave_; }

    // `power` holds fftSize / 2 + 1 values; `bands` receives count() values.
    void fold(std::span<const float> power, std::span<float> bands) const;

  private:
    struct Weight {
        std::size_t bin;
        float weight;
    };
    int bandsPerOctave_;
    std::size_t powerSize_;
    std::vector<std::vector<Weight>> bands_;
};

// Turns band powers into the shape of the sound's harmonics: log powers minus their average over
// a half octave around each band (which removes the spectral slope and the noise floor), negative
// values set to 0, scaled to unit length. A silent frame (all powers below `floorPower`) becomes
// all zeros.
void keepHarmonicPeaks(std::span<float> bands, int bandsPerOctave, float floorPower);

}  // namespace skelder::sync
