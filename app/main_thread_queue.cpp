#include "app/main_thread_queue.hpp"

#include <QMetaObject>

namespace skelder {

void MainThreadPoster::post(std::function<void()> task) const {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(mailbox_->mutex);
        if (mailbox_->owner == nullptr) {
            // Closed: the task goes, outside the lock, with whatever it carries.
            dropped.push_back(std::move(task));
        } else {
            const bool wake = mailbox_->tasks.empty();
            mailbox_->tasks.push_back(std::move(task));
            // One wake-up per batch: runPending takes everything queued so far. The lock keeps
            // the owner alive during the call: closing takes it too.
            if (wake)
                QMetaObject::invokeMethod(mailbox_->owner, "runPending", Qt::QueuedConnection);
        }
    }
}

MainThreadQueue::MainThreadQueue(QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<MainThreadPoster::Mailbox>()) {
    mailbox_->owner = this;
}

MainThreadQueue::~MainThreadQueue() {
    close();
}

void MainThreadQueue::close() {
    std::deque<std::function<void()>> dropped;
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->owner = nullptr;
    dropped.swap(mailbox_->tasks);
}

void MainThreadQueue::runPending() {
    std::deque<std::function<void()>> batch;
    {
        const std::lock_guard lock(mailbox_->mutex);
        if (mailbox_->owner == nullptr)
            return;
        batch.swap(mailbox_->tasks);
    }
    for (auto& task : batch)
        task();
}

}  // namespace skelder
