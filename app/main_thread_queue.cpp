#include "app/main_thread_queue.hpp"

#include <QMetaObject>

namespace skelder {

MainThreadQueue::MainThreadQueue(QObject* parent) : QObject(parent) {}

void MainThreadQueue::post(std::function<void()> task) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        wake = tasks_.empty();
        tasks_.push_back(std::move(task));
    }
    // One wake-up per batch: runPending takes everything queued so far.
    if (wake)
        QMetaObject::invokeMethod(this, "runPending", Qt::QueuedConnection);
}

void MainThreadQueue::runPending() {
    std::deque<std::function<void()>> batch;
    {
        const std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch)
        task();
}

}  // namespace skelder
