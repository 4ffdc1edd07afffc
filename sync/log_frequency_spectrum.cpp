#include "sync/log_frequency_spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace skelder::sync {

LogFrequencyBands::LogFrequencyBands(std::size_t fftSize, double sampleRate, double lowestHz,
                                     double highestHz, int bandsPerOctave)
    : bandsPerOctave_(bandsPerOctave), powerSize_(fftSize / 2 + 1) {
    if (fftSize < 2 || !(sampleRate > 0) || !(lowestHz > 0) || !(highestHz > lowestHz) ||
        highestHz >= sampleRate / 2 || bandsPerOctave <= 0)
        throw std::invalid_argument("log frequency bands need 0 < lowest < highest < Nyquist");
    const double binHz = sampleRate / static_cast<double>(fftSize);
    const double step = std::exp2(1.0 / bandsPerOctave);
    for (double centre = lowestHz; centre <= highestHz; centre *= step) {
        const double below = centre / step;
        const double above = centre * step;
        std::vector<Weight> weights;
        const auto firstBin = static_cast<std::size_t>(std::ceil(below / binHz));
        for (std::size_t bin = firstBin; static_cast<double>(bin) * binHz < above; ++bin) {
            const double hz = static_cast<double>(bin) * binHz;
            const double w =
                hz < centre ? (hz - below) / (centre - below) : (above - hz) / (above - centre);
            if (w > 0 && bin < powerSize_)
                weights.push_back({bin, static_cast<float>(w)});
        }
        if (weights.size() < 2) {
            // Narrower than the bins: the power spectrum interpolated at the centre.
            weights.clear();
            const double position = centre / binHz;
            const auto low = static_cast<std::size_t>(std::floor(position));
            const double fraction = position - static_cast<double>(low);
            weights.push_back({low, static_cast<float>(1 - fraction)});
            weights.push_back({low + 1, static_cast<float>(fraction)});
        }
        const float total =
            std::accumulate(weights.begin(), weights.end(), 0.0f,
                            [](float sum, const Weight& w) { return sum + w.weight; });
        for (Weight& w : weights)
            w.weight /= total;
        bands_.push_back(std::move(weights));
    }
}

void LogFrequencyBands::fold(std::span<const float> power, std::span<float> bands) const {
    if (power.size() != powerSize_ || bands.size() != bands_.size())
        throw std::invalid_argument("power spectrum or band count does not fit");
    for (std::size_t i = 0; i < bands_.size(); ++i) {
        float sum = 0;
        for (const Weight& w : bands_[i])
            sum += w.weight * power[w.bin];
        bands[i] = sum;
    }
}

void keepHarmonicPeaks(std::span<float> bands, int bandsPerOctave, float floorPower) {
    const bool silent =
        std::all_of(bands.begin(), bands.end(), [&](float p) { return p < floorPower; });
    if (silent || bands.empty()) {
        std::fill(bands.begin(), bands.end(), 0.0f);
        return;
    }
    std::vector<float> logs(bands.size());
    for (std::size_t i = 0; i < bands.size(); ++i)
        logs[i] = std::log(std::max(bands[i], floorPower));
    // Running sums for the half-octave average around each band.
    std::vector<double> prefix(logs.size() + 1, 0.0);
    for (std::size_t i = 0; i < logs.size(); ++i)
        prefix[i + 1] = prefix[i] + logs[i];
    const auto half = static_cast<std::size_t>(std::max(1, bandsPerOctave / 4));
    double squares = 0;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const std::size_t first = i >= half ? i - half : 0;
        const std::size_t last = std::min(logs.size() - 1, i + half);
        const double average =
            (prefix[last + 1] - prefix[first]) / static_cast<double>(last - first + 1);
        const float peak = std::max(0.0f, logs[i] - static_cast<float>(average));
        bands[i] = peak;
        squares += static_cast<double>(peak) * peak;
    }
    const double length = std::sqrt(squares);
    for (float& value : bands)
        value = length > 0 ? static_cast<float>(value / length) : 0.0f;
}

}  // namespace skelder::sync
