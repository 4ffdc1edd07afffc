#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace skelder {

// Where callbacks of background work are delivered: the UI thread's event loop in the app, a
// simple run loop in the command line.
class Executor {
  public:
    virtual ~Executor() = default;
    // Runs `task` later on the executor's thread; never blocks the caller.
    virtual void post(std::function<void()> task) = 0;
};

// A queue of tasks run by whichever thread calls runPending or runUntil.
class RunLoopExecutor : public Executor {
  public:
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        changed_.notify_all();
    }

    // Runs the tasks queued so far.
    void runPending() {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.swap(tasks_);
        }
        for (auto& task : batch)
            task();
    }

    // Runs tasks as they come until `done` returns true (checked after each wake-up), then
    // the ones still queued.
    template <typename Done>
    void runUntil(Done done) {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !tasks_.empty() || done(); });
            }
            runPending();
            if (done())
                break;
        }
        runPending();
    }

    // Wakes runUntil so it checks `done` again. Call it after whatever `done` reads has changed.
    // The lock orders the wake-up after a waiter's last check: between that check and its
    // sleep a waiter holds the lock, so a notification sent without it could come in that gap
    // and be lost, leaving the command waiting for good after its work was done.
    void wake() {
        { const std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace skelder
