#include "sync/pitch_change_track.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <stdexcept>

#include "core/cancellation.hpp"
#include "sync/log_frequency_spectrum.hpp"
#include "sync/real_fft.hpp"

namespace skelder::sync {
namespace {

constexpr std::size_t kWindowSamples = 1024;  // kPitchWindowSeconds at kPitchSampleRate
constexpr std::size_t kFftSize = 2048;        // zero-padded for smoother bands at low pitch
constexpr double kLowestHz = 20;
constexpr double kHighestHz = 1600;
constexpr int kBandsPerOctave = 48;
// Largest change looked for between the two spectra: half an octave, more than a gear change
// takes in the span.
constexpr int kLargestShiftBands = kBandsPerOctave;
// A window whose every band is below this power (about 70 dB under a full-scale tone) is silent.
constexpr float kSilentBandPower = (kWindowSamples / 4.0f) * (kWindowSamples / 4.0f) * 1e-7f;

std::vector<float> hannWindow() {
    std::vector<float> window(kWindowSamples);
    for (std::size_t i = 0; i < kWindowSamples; ++i) {
        window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                 static_cast<double>(kWindowSamples)));
    }
    return window;
}

// The band shift that best lines up `later` with `earlier` and how well it does.
struct Shift {
    double bands = 0;
    double similarity = 0;
};

Shift bestShift(const std::vector<float>& earlier, const std::vector<float>& later) {
    const auto count = static_cast<int>(earlier.size());
    std::vector<double> scores(2 * kLargestShiftBands + 1, 0.0);
    for (int s = -kLargestShiftBands; s <= kLargestShiftBands; ++s) {
        double sum = 0;
        const int first = std::max(0, -s);
        const int last = std::min(count, count - s);
        for (int b = first; b < last; ++b)
            sum += static_cast<double>(earlier[static_cast<std::size_t>(b)]) *
                   later[static_cast<std::size_t>(b + s)];
        scores[static_cast<std::size_t>(s + kLargestShiftBands)] = sum;
    }
    const auto best = std::max_element(scores.begin(), scores.end());
    const auto index = static_cast<std::size_t>(best - scores.begin());
    Shift shift{static_cast<double>(index) - kLargestShiftBands, *best};
    if (index > 0 && index + 1 < scores.size()) {
        const double left = scores[index - 1];
        const double right = scores[index + 1];
        const double curvature = left - 2 * *best + right;
        if (curvature < 0)
            shift.bands += 0.5 * (left - right) / curvature;
    }
    return shift;
}

}  // namespace

std::vector<double> pitchSmoothingKernel() {
    const auto length = static_cast<std::size_t>(std::lround(kPitchWindowSeconds * 1000)) | 1;
    std::vector<double> kernel(length);
    double total = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const double hann =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                 static_cast<double>(length));
        kernel[i] = hann * hann;
        total += kernel[i];
    }
    for (double& w : kernel)
        w /= total;
    return kernel;
}

std::vector<PitchChange> trackPitchChanges(const media::MonoAudio& audio,
                                           const std::stop_token& stop) {
    if (audio.sampleRate != kPitchSampleRate)
        throw std::invalid_argument("pitch changes are tracked at the pitch sample rate");
    std::vector<PitchChange> changes;
    const auto size = static_cast<std::int64_t>(audio.samples.size());
    const auto half = static_cast<std::int64_t>(kWindowSamples / 2);
    const auto hop = static_cast<std::int64_t>(std::lround(kPitchFrameSeconds * kPitchSampleRate));
    const auto spanFrames =
        static_cast<std::size_t>(std::lround(kPitchChangeSpanSeconds / kPitchFrameSeconds));
    // Frame centres: whole multiples of the frame time whose window fits the audio.
    const auto firstCentre = static_cast<std::int64_t>(
        std::ceil((audio.startSeconds * kPitchSampleRate + static_cast<double>(half)) /
                      static_cast<double>(hop) -
                  1e-9));
    const auto centreIndex = [&](std::int64_t frame) {
        return std::llround(static_cast<double>(frame * hop) -
                            audio.startSeconds * kPitchSampleRate);
    };

    RealFFT fft(kFftSize);
    const LogFrequencyBands bands(kFftSize, kPitchSampleRate, kLowestHz, kHighestHz,
                                  kBandsPerOctave);
    const std::vector<float> window = hannWindow();
    std::vector<float> power(kFftSize / 2 + 1);
    std::deque<std::vector<float>> recent;  // the last spanFrames + 1 frames' peaks
    std::fill(fft.input().begin(), fft.input().end(), 0.0f);
    for (std::int64_t frame = firstCentre;; ++frame) {
        const std::int64_t centre = centreIndex(frame);
        if (centre + half > size)
            break;
        if (frame % 256 == 0)
            throwIfCancelled(stop);
        const std::span<float> input = fft.input();
        for (std::size_t i = 0; i < kWindowSamples; ++i) {
            input[i] = window[i] * audio.samples[static_cast<std::size_t>(centre - half) + i];
        }
        fft.powerSpectrum(power);
        std::vector<float> peaks(bands.count());
        bands.fold(power, peaks);
        keepHarmonicPeaks(peaks, kBandsPerOctave, kSilentBandPower);
        recent.push_back(std::move(peaks));
        if (recent.size() <= spanFrames)
            continue;
        if (recent.size() > spanFrames + 1)
            recent.pop_front();
        const Shift shift = bestShift(recent.front(), recent.back());
        const auto middle = frame - static_cast<std::int64_t>(spanFrames / 2);
        changes.push_back({static_cast<double>(middle) * kPitchFrameSeconds,
                           shift.bands * std::numbers::ln2 / kBandsPerOctave,
                           std::max(0.0, shift.similarity) * std::max(0.0, shift.similarity)});
    }
    return changes;
}

}  // namespace skelder::sync
