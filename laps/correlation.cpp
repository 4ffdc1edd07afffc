#include "laps/correlation.hpp"

#include <fftw3.h>

#include <algorithm>
#include <complex>
#include <memory>
#include <mutex>
#include <new>

namespace skelder::laps {

namespace {

// FFTW's planner is not thread-safe; running a plan is.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

struct FftwFree {
    void operator()(void* memory) const { fftw_free(memory); }
};
struct PlanDestroy {
    void operator()(fftw_plan_s* plan) const {
        const std::lock_guard lock(plannerMutex());
        fftw_destroy_plan(plan);
    }
};
using RealBuffer = std::unique_ptr<double[], FftwFree>;
using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;
using Plan = std::unique_ptr<fftw_plan_s, PlanDestroy>;

template <typename T>
std::unique_ptr<T[], FftwFree> allocate(std::size_t count) {
    auto* memory = static_cast<T*>(fftw_malloc(sizeof(T) * count));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return std::unique_ptr<T[], FftwFree>(memory);
}

std::size_t transformSize(std::size_t minimum) {
    std::size_t size = 64;
    while (size < minimum) {
        size *= 2;
    }
    return size;
}

}  // namespace

std::vector<double> crossCorrelation(std::span<const double> pattern,
                                     std::span<const double> signal) {
    if (pattern.empty() || signal.empty()) {
        return {};
    }
    const std::size_t outputs = pattern.size() + signal.size() - 1;
    const std::size_t size = transformSize(outputs);
    const std::size_t bins = size / 2 + 1;
    RealBuffer real = allocate<double>(size);
    ComplexBuffer patternSpectrum = allocate<fftw_complex>(bins);
    ComplexBuffer signalSpectrum = allocate<fftw_complex>(bins);
    Plan forwardPattern;
    Plan forwardSignal;
    Plan inverse;
    {
        const std::lock_guard lock(plannerMutex());
        forwardPattern.reset(fftw_plan_dft_r2c_1d(static_cast<int>(size), real.get(),
                                                  patternSpectrum.get(), FFTW_ESTIMATE));
        forwardSignal.reset(fftw_plan_dft_r2c_1d(static_cast<int>(size), real.get(),
                                                 signalSpectrum.get(), FFTW_ESTIMATE));
        inverse.reset(fftw_plan_dft_c2r_1d(static_cast<int>(size), signalSpectrum.get(), real.get(),
                                           FFTW_ESTIMATE));
    }
    if (!forwardPattern || !forwardSignal || !inverse) {
        throw std::bad_alloc();
    }
    std::fill_n(real.get(), size, 0.0);
    std::copy(pattern.begin(), pattern.end(), real.get());
    fftw_execute(forwardPattern.get());
    std::fill_n(real.get(), size, 0.0);
    std::copy(signal.begin(), signal.end(), real.get());
    fftw_execute(forwardSignal.get());
    // conj(P) * S is the spectrum of the correlation at circular offsets.
    for (std::size_t k = 0; k < bins; ++k) {
        const std::complex<double> p(patternSpectrum[k][0], -patternSpectrum[k][1]);
        const std::complex<double> s(signalSpectrum[k][0], signalSpectrum[k][1]);
        const std::complex<double> product = p * s;
        signalSpectrum[k][0] = product.real();
        signalSpectrum[k][1] = product.imag();
    }
    fftw_execute(inverse.get());
    std::vector<double> result(outputs);
    const double scale = 1.0 / static_cast<double>(size);
    const std::size_t negative = pattern.size() - 1;
    for (std::size_t k = 0; k < negative; ++k) {
        result[k] = real[size - negative + k] * scale;
    }
    for (std::size_t k = 0; k < signal.size(); ++k) {
        result[negative + k] = real[k] * scale;
    }
    return result;
}

std::vector<double> prefixEnergy(std::span<const double> values) {
    std::vector<double> sums(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        sums[i + 1] = sums[i] + values[i] * values[i];
    }
    return sums;
}

}  // namespace skelder::laps
