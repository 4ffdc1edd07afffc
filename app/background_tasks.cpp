#include "app/background_tasks.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace skelder {
namespace {

// Niceness added to the thread (on Linux the nice value belongs to the thread).
int nicenessIncrease(TaskPriority priority) {
    switch (priority) {
        case TaskPriority::background:
            return 10;
        case TaskPriority::utility:
            return 5;
        case TaskPriority::normal:
            return 0;
    }
    return 0;
}

}  // namespace

void applyCurrentThreadPriority(TaskPriority priority) noexcept {
    const int increase = nicenessIncrease(priority);
    if (increase == 0)
        return;
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (current == -1 && errno != 0)
        return;
    ::setpriority(PRIO_PROCESS, thread, current + increase);
}

std::stop_source BackgroundTasks::start(TaskPriority priority,
                                        std::function<void(std::stop_token)> work) {
    joinFinished();
    auto done = std::make_shared<bool>(false);
    std::jthread thread(
        [priority, work = std::move(work), completion = completion_, done](std::stop_token stop) {
            applyCurrentThreadPriority(priority);
            work(std::move(stop));
            {
                const std::lock_guard lock(completion->mutex);
                *done = true;
            }
            completion->finished.notify_all();
        });
    std::stop_source stop = thread.get_stop_source();
    threads_.push_back({std::move(thread), std::move(done)});
    return stop;
}

void BackgroundTasks::joinFinished() {
    std::vector<Thread> finished;
    {
        const std::lock_guard lock(completion_->mutex);
        for (auto entry = threads_.begin(); entry != threads_.end();) {
            if (*entry->done) {
                finished.push_back(std::move(*entry));
                entry = threads_.erase(entry);
            } else {
                ++entry;
            }
        }
    }
    // Joined explicitly: a jthread destroyed while joinable would first request its stop,
    // and a finished task's report may still wait in the queue, where the stop of its task
    // would make it look cancelled.
    for (Thread& entry : finished)
        entry.thread.join();
}

void BackgroundTasks::shutdown(std::chrono::milliseconds grace) {
    for (Thread& entry : threads_)
        entry.thread.request_stop();
    {
        std::unique_lock lock(completion_->mutex);
        completion_->finished.wait_for(lock, grace, [&] {
            return std::all_of(threads_.begin(), threads_.end(),
                               [](const Thread& entry) { return *entry.done; });
        });
    }
    joinFinished();
    // What is left owns its state and reports through a closed mailbox: it ends on its own.
    for (Thread& entry : threads_)
        entry.thread.detach();
    threads_.clear();
}

}  // namespace skelder
