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

// The life of a reader: unknown → reading → completed, failed or cancelled. A cancel may come
// from any thread; it shows in the status at once.
class ReaderLifecycle {
  public:
    // unknown → reading; false when the reader was started or cancelled before.
    bool begin() {
        return cell_.compareAndSet(StatusCell::code(ReaderStatus::unknown),
                                   StatusCell::code(ReaderStatus::reading));
    }
    void fail(const std::string& text) {
        cell_.setError(text);
        cell_.compareAndSet(StatusCell::code(ReaderStatus::reading),
                            StatusCell::code(ReaderStatus::failed));
    }
    // The end of the data: completed, or cancelled when that was asked for.
    void finish() {
        cell_.compareAndSet(StatusCell::code(ReaderStatus::reading),
                            StatusCell::code(cancelled_.load() ? ReaderStatus::cancelled
                                                               : ReaderStatus::completed));
    }
    void cancel() {
        cancelled_.store(true);
        cell_.compareAndSet(StatusCell::code(ReaderStatus::unknown),
                            StatusCell::code(ReaderStatus::cancelled));
    }
    bool cancelRequested() const { return cancelled_.load(); }
    bool isReading() const { return cell_.load() == StatusCell::code(ReaderStatus::reading); }
    ReaderStatus status() const {
        const int value = cell_.load();
        if (value == StatusCell::code(ReaderStatus::reading) && cancelled_.load()) {
            return ReaderStatus::cancelled;
        }
        return static_cast<ReaderStatus>(value);
    }
    std::string error() const { return cell_.error(); }

  private:
    StatusCell cell_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace skelder::media
