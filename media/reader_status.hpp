#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace skelder::media {

enum class ReaderStatus { unknown, reading, completed, failed, cancelled };

// Status and error text of a reader or writer, readable from any thread.
class StatusCell {
  public:
    template <typename Status>
    static constexpr int code(Status status) {
        return static_cast<int>(status);
    }

    int load() const { return value_.load(); }
    void store(int value) { value_.store(value); }
    // Moves to `value` unless the cell already ended (failed or cancelled keep their state).
    bool compareAndSet(int expected, int value) {
        return value_.compare_exchange_strong(expected, value);
    }

    void setError(std::string text) {
        std::lock_guard lock(mutex_);
        error_ = std::move(text);
    }
    std::string error() const {
        std::lock_guard lock(mutex_);
        return error_;
    }

  private:
    std::atomic<int> value_{0};
    mutable std::mutex mutex_;
    std::string error_;
};

}  // namespace skelder::media
