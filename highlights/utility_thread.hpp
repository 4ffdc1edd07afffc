#pragma once

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

#include "core/cancellation.hpp"

namespace skelder {

// Lowers the calling thread's scheduling priority a little (utility work); best effort.
void lowerCurrentThreadToUtilityPriority() noexcept;

// Runs `work(stopToken)` on a detached thread at utility priority and waits for its result.
// Cancelling `callerStop` stops the work's token and ends the wait at once with
// CancellationError, even while the work is still running; the thread then finishes on its
// own, owning everything it uses. Errors of the work reach the caller unchanged.
template <class Work>
auto runOnUtilityThread(Work work, std::stop_token callerStop)
    -> decltype(work(std::declval<std::stop_token>())) {
    using Result = decltype(work(std::declval<std::stop_token>()));
    struct SharedState {
        std::mutex mutex;
        std::condition_variable_any finished;
        bool done = false;
        std::optional<Result> value;
        std::exception_ptr error;
        std::stop_source stop;
    };

    throwIfCancelled(callerStop);
    auto state = std::make_shared<SharedState>();
    const std::stop_callback forwardCancellation(callerStop,
                                                 [state] { state->stop.request_stop(); });
    std::thread([state, work = std::move(work)]() mutable {
        lowerCurrentThreadToUtilityPriority();
        std::optional<Result> value;
        std::exception_ptr error;
        try {
            value.emplace(work(state->stop.get_token()));
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(state->mutex);
            state->value = std::move(value);
            state->error = std::move(error);
            state->done = true;
        }
        state->finished.notify_all();
    }).detach();

    std::unique_lock lock(state->mutex);
    if (!state->finished.wait(lock, callerStop, [&] { return state->done; }))
        throw CancellationError();
    if (state->error)
        std::rethrow_exception(state->error);
    return std::move(*state->value);
}

}  // namespace skelder
