#pragma once

#include <cstdint>
#include <vector>

#include "telemetry/binary_reader.hpp"
#include "telemetry/byte_source.hpp"
#include "telemetry/sample_tables.hpp"

namespace skelder {

// A run of adjacent samples read with one read: the samples of a chunk lie back to back, so a
// chunk costs one read however many samples it holds. Runs grow to kSampleRunBytes at most; a
// single larger sample is read alone.
class SampleRun {
  public:
    static constexpr std::int64_t kSampleRunBytes = 1 << 20;

    bool canTake(const SampleLocation& location) const noexcept {
        return samples_.empty() ||
               (location.offset == end_ && location.size <= kSampleRunBytes - (end_ - start_));
    }
    void take(std::int64_t index, const SampleLocation& location, double presentationSeconds);

    // Reads the run and calls visit(sample bytes, index, presentation seconds) for each of its
    // samples in order; the run is empty afterwards.
    template <typename Visit>
    void readAndVisit(ByteSource& source, Visit&& visit) {
        if (samples_.empty())
            return;
        bytes_.resize(static_cast<std::size_t>(end_ - start_));
        source.read(start_, bytes_);
        for (const PendingSample& sample : samples_) {
            visit(ByteSpan(bytes_).subspan(static_cast<std::size_t>(sample.offset - start_),
                                           static_cast<std::size_t>(sample.size)),
                  sample.index, sample.presentationSeconds);
        }
        samples_.clear();
    }

  private:
    struct PendingSample {
        std::int64_t index;
        std::int64_t offset;
        std::int64_t size;
        double presentationSeconds;
    };
    std::vector<PendingSample> samples_;
    std::vector<std::uint8_t> bytes_;
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
};

}  // namespace skelder
