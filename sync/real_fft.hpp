#pragma once

#include <cstddef>
#include <span>

namespace skelder::sync {

// A forward real FFT of one size on FFTW (single precision) with its own aligned buffers. Plans
// are made and destroyed under one process-wide lock, as FFTW's planner is not thread-safe;
// running a plan is, so each thread keeps its own RealFFT.
class RealFFT {
  public:
    explicit RealFFT(std::size_t size);
    ~RealFFT();
    RealFFT(const RealFFT&) = delete;
    RealFFT& operator=(const RealFFT&) = delete;

    std::size_t size() const { return size_; }
    // The samples to transform; fill all size() of them before powerSpectrum.
    std::span<float> input();
    // Writes |X_k|^2 for k = 0 .. size / 2 into `power` (size / 2 + 1 values).
    void powerSpectrum(std::span<float> power);

  private:
    std::size_t size_;
    float* input_;
    void* output_;  // fftwf_complex[size / 2 + 1]
    void* plan_;    // fftwf_plan
};

}  // namespace skelder::sync
