#pragma once

#include <stop_token>
#include <vector>

#include "media/mono_audio_decoder.hpp"

namespace skelder::sync {

// The rate the sound is analysed at: engines fire at a few tens to a few hundred hertz, and the
// harmonics up to the top band (1600 Hz) are what pin the pitch down.
inline constexpr int kPitchSampleRate = 4000;
// One pitch change every 10 ms, on frame centres that are whole multiples of it.
inline constexpr double kPitchFrameSeconds = 0.01;
// The two spectra compared for a pitch change lie this far apart, centred on the frame.
inline constexpr double kPitchChangeSpanSeconds = 0.3;
// Length of the analysis window (Hann, 1024 samples).
inline constexpr double kPitchWindowSeconds = 0.256;

// How the sound's pitch changes around one frame centre.
struct PitchChange {
    double seconds = 0;    // frame centre on the audio's timeline
    double logChange = 0;  // ln f(seconds + span / 2) - ln f(seconds - span / 2)
    // How alike the two spectra are once one is shifted by the change (0 to 1): high where a
    // harmonic sound dominates, low in noise; 0 where either window is silent.
    double weight = 0;
};

// How a frame's pitch averages the sound over time: the squared Hann window at 1 ms steps
// (odd length, centred, summing to 1).
std::vector<double> pitchSmoothingKernel();

// Pitch changes at every frame centre (a multiple of kPitchFrameSeconds) whose compared windows
// lie wholly within `audio`, which must be at kPitchSampleRate. Each spectrum is folded onto
// 1/48-octave bands from 20 Hz, reduced to its harmonic peaks, and the change is the band shift
// (refined between bands) that best lines up the two spectra: every harmonic moves by the same
// amount in log frequency, whatever the engine's firing order. Throws CancellationError.
std::vector<PitchChange> trackPitchChanges(const media::MonoAudio& audio,
                                           const std::stop_token& stop);

}  // namespace skelder::sync
