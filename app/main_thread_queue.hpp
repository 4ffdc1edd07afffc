#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

#include "export/executor.hpp"

namespace skelder {

// Hands work from background threads to the thread this object lives on (the main thread),
// in the order it was posted. Tasks wait under our own mutex and a queued call by name only
// wakes the event loop, so every value a task carries passes through a lock the thread
// sanitizer can see (Qt's own locks are invisible to it). Tasks still waiting when the
// object is destroyed are dropped unrun.
class MainThreadQueue : public QObject {
    Q_OBJECT

  public:
    explicit MainThreadQueue(QObject* parent = nullptr);

    // Safe from any thread while the object exists.
    void post(std::function<void()> task);

  private:
    Q_INVOKABLE void runPending();

    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

// The export workflow's view of the queue.
class QtExecutor final : public Executor {
  public:
    explicit QtExecutor(MainThreadQueue& queue) : queue_(queue) {}
    void post(std::function<void()> task) override { queue_.post(std::move(task)); }

  private:
    MainThreadQueue& queue_;
};

}  // namespace skelder
