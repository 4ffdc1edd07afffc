#pragma once

#include <stdexcept>
#include <string>

namespace skelder::samples {

// Sample options that cannot be written; the message says which and what is allowed.
class SampleOptionsError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// The encoders or the muxer failed; the message names the step and the library's reason.
class SampleWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace skelder::samples
