#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

namespace skelder {

// Relative scheduling priority of background work: quick scans run lowest, thumbnails a
// little lower than normal, highlight analyses (which wait on their own utility thread) at
// normal priority.
enum class TaskPriority { background, utility, normal };

// Lowers the calling thread's priority; best effort.
void applyCurrentThreadPriority(TaskPriority priority) noexcept;

// Owns the threads of the model's background tasks. A task is cancelled through the stop
// source start() returns; the model may forget a task at once, while its thread runs on here
// until its work ends. Finished threads are joined when the next task starts; shutdown()
// cancels every task and waits for all of them, so no task outlives the model. Used on one
// thread only (the main thread).
class BackgroundTasks {
  public:
    BackgroundTasks() = default;
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;
    ~BackgroundTasks() { shutdown(); }

    // Runs work(stop) on a new thread at the given priority.
    std::stop_source start(TaskPriority priority, std::function<void(std::stop_token)> work);

    void shutdown();

    // Threads not yet joined (running, or finished since the last start).
    std::size_t threadCount() const { return threads_.size(); }

  private:
    struct Thread {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void joinFinished();

    std::vector<Thread> threads_;
};

}  // namespace skelder
