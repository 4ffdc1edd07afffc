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
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([priority, work = std::move(work), finished](std::stop_token stop) {
        applyCurrentThreadPriority(priority);
        work(std::move(stop));
        finished->store(true, std::memory_order_release);
    });
    std::stop_source stop = thread.get_stop_source();
    threads_.push_back({std::move(thread), std::move(finished)});
    return stop;
}

void BackgroundTasks::joinFinished() {
    std::erase_if(threads_, [](Thread& entry) {
        if (!entry.finished->load(std::memory_order_acquire))
            return false;
        entry.thread.join();
        return true;
    });
}

void BackgroundTasks::shutdown() {
    for (Thread& entry : threads_)
        entry.thread.request_stop();
    threads_.clear();  // each jthread joins as it goes
}

}  // namespace skelder
