#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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
// until its work ends. Finished threads are joined when the next task starts. Used on one
// thread only (the main thread).
//
// Work handed to start() must own what it uses (shared pointers, copies) and report only
// through a MainThreadPoster: shutdown() may leave a task that does not notice its stop in
// time to finish on its own.
class BackgroundTasks {
  public:
    BackgroundTasks() = default;
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;
    ~BackgroundTasks() { shutdown(); }

    // Runs work(stop) on a new thread at the given priority.
    std::stop_source start(TaskPriority priority, std::function<void(std::stop_token)> work);

    // Asks every task to stop and waits up to `grace` for them; the threads still running
    // after that are let go to end by themselves (a file read that ignores its stop token must
    // not hold up quitting).
    void shutdown(std::chrono::milliseconds grace = std::chrono::milliseconds(500));

  private:
    // What the threads share with the owner: how many have finished, behind a lock.
    struct Completion {
        std::mutex mutex;
        std::condition_variable finished;
    };
    struct Thread {
        std::jthread thread;
        std::shared_ptr<bool> done;  // guarded by Completion::mutex
    };

    void joinFinished();

    std::shared_ptr<Completion> completion_ = std::make_shared<Completion>();
    std::vector<Thread> threads_;
};

}  // namespace skelder
