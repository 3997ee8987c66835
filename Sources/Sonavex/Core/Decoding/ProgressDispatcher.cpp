#include "Sonavex/Core/Decoding/ProgressDispatcher.h"

#include "Sonavex/Utilities/Logging/Logging.h"

#include <sys/resource.h>
#include <unistd.h>

namespace sonavex {

ProgressDispatcher::ProgressDispatcher()
    : queue_(std::make_shared<Queue>()), thread_([queue = queue_] { work(queue); }) {}

ProgressDispatcher::~ProgressDispatcher() {
    const bool fromOwnJob = std::this_thread::get_id() == thread_.get_id();
    {
        std::lock_guard lock(queue_->mutex);
        queue_->stopping = true;
        if (fromOwnJob) {
            // The decoder these jobs report for is going away under them; nobody is left to hear them.
            queue_->jobs.clear();
        }
    }
    queue_->changed.notify_all();
    if (fromOwnJob) {
        thread_.detach(); // joining itself would fail; the thread keeps the queue alive and then ends
    } else {
        thread_.join();
    }
}

void ProgressDispatcher::post(std::function<void()> job) {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->jobs.push_back(std::move(job));
    }
    queue_->changed.notify_all();
}

void ProgressDispatcher::drain() {
    if (std::this_thread::get_id() == thread_.get_id()) {
        return; // a job waiting for itself would never finish
    }
    std::unique_lock lock(queue_->mutex);
    queue_->changed.wait(lock, [this] { return queue_->jobs.empty() && !queue_->running; });
}

void ProgressDispatcher::work(const std::shared_ptr<Queue>& queue) {
    // Callbacks are the caller's bookkeeping: they yield to the decoding threads. On Linux the nice
    // value of a thread id applies to that thread alone.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    std::unique_lock lock(queue->mutex);
    while (true) {
        queue->changed.wait(lock, [&] { return queue->stopping || !queue->jobs.empty(); });
        if (queue->jobs.empty()) {
            return; // stopping, nothing left
        }
        std::function<void()> job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
        queue->running = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& error) {
            Logging::error("Progress callback failed:", error.what());
        } catch (...) {
            Logging::error("Progress callback failed");
        }
        job = nullptr; // whatever it held goes now, outside the lock
        lock.lock();
        queue->running = false;
        queue->changed.notify_all();
    }
}

} // namespace sonavex
