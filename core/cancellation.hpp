#pragma once

#include <stdexcept>
#include <stop_token>

namespace skelder {

// Raised when work stops because its caller cancelled it. It is never a failure: callers
// report it as "canceled" and show no error.
class CancellationError : public std::runtime_error {
public:
    CancellationError() : std::runtime_error("canceled") {}
};

// Throws CancellationError once a stop has been requested.
inline void throwIfCancelled(const std::stop_token& token) {
    if (token.stop_requested()) throw CancellationError();
}

}  // namespace skelder
