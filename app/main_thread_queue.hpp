#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "export/executor.hpp"

namespace skelder {

class MainThreadQueue;

// A background thread's way to the main thread. A copy keeps the mailbox alive, not the queue:
// once the queue is closed or gone, what is posted is dropped unrun, so a thread that outlives
// the model (one left to finish on its own when the application quits) can still report safely.
class MainThreadPoster {
  public:
    // Safe from any thread.
    void post(std::function<void()> task) const;

  private:
    friend class MainThreadQueue;
    struct Mailbox {
        std::mutex mutex;
        std::deque<std::function<void()>> tasks;
        MainThreadQueue* owner = nullptr;  // null once closed
    };
    explicit MainThreadPoster(std::shared_ptr<Mailbox> mailbox) : mailbox_(std::move(mailbox)) {}

    std::shared_ptr<Mailbox> mailbox_;
};

// Hands work from background threads to the thread this object lives on (the main thread),
// in the order it was posted. Tasks wait under our own mutex and a queued call by name only
// wakes the event loop, so every value a task carries passes through a lock the thread
// sanitizer can see (Qt's own locks are invisible to it). Tasks still waiting when the queue
// is closed or destroyed are dropped unrun.
class MainThreadQueue : public QObject {
    Q_OBJECT

  public:
    explicit MainThreadQueue(QObject* parent = nullptr);
    ~MainThreadQueue() override;

    // Safe from any thread while the object exists.
    void post(std::function<void()> task) { poster().post(std::move(task)); }
    MainThreadPoster poster() const { return MainThreadPoster(mailbox_); }

    // Drops what waits and everything posted from now on (main thread).
    void close();

  private:
    friend class MainThreadPoster;
    Q_INVOKABLE void runPending();

    std::shared_ptr<MainThreadPoster::Mailbox> mailbox_;
};

// The export workflow's view of the queue.
class QtExecutor final : public Executor {
  public:
    explicit QtExecutor(MainThreadPoster poster) : poster_(std::move(poster)) {}
    void post(std::function<void()> task) override { poster_.post(std::move(task)); }

  private:
    MainThreadPoster poster_;
};

}  // namespace skelder
