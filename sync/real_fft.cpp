#include "sync/real_fft.hpp"

#include <fftw3.h>

#include <mutex>
#include <new>
#include <stdexcept>

namespace skelder::sync {
namespace {

std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

RealFFT::RealFFT(std::size_t size) : size_(size) {
    if (size < 2 || size > (std::size_t{1} << 24))
        throw std::invalid_argument("an FFT size must be from 2 to 2^24");
    const std::lock_guard guard(plannerLock());
    input_ = fftwf_alloc_real(size);
    auto* output = fftwf_alloc_complex(size / 2 + 1);
    output_ = output;
    if (input_ != nullptr && output != nullptr) {
        // Estimated rather than measured plans: planning stays quick and the same every run.
        plan_ = fftwf_plan_dft_r2c_1d(static_cast<int>(size), input_, output, FFTW_ESTIMATE);
    } else {
        plan_ = nullptr;
    }
    if (plan_ == nullptr) {
        fftwf_free(input_);
        fftwf_free(output);
        throw std::bad_alloc();
    }
}

RealFFT::~RealFFT() {
    const std::lock_guard guard(plannerLock());
    fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    fftwf_free(input_);
    fftwf_free(output_);
}

std::span<float> RealFFT::input() {
    return {input_, size_};
}

void RealFFT::powerSpectrum(std::span<float> power) {
    if (power.size() != size_ / 2 + 1)
        throw std::invalid_argument("a power spectrum holds size / 2 + 1 values");
    fftwf_execute(static_cast<fftwf_plan>(plan_));
    const auto* bins = static_cast<const fftwf_complex*>(output_);
    for (std::size_t k = 0; k < power.size(); ++k)
        power[k] = bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1];
}

}  // namespace skelder::sync
