#include "telemetry/sample_run.hpp"

namespace skelder {

void SampleRun::take(std::int64_t index, const SampleLocation& location,
                     double presentationSeconds) {
    if (samples_.empty())
        start_ = end_ = location.offset;
    samples_.push_back({index, location.offset, location.size, presentationSeconds});
    end_ += location.size;
}

}  // namespace skelder
