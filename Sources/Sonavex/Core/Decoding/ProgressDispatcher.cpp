#include "Sonavex/Core/Decoding/ProgressDispatcher.h"

#include "Sonavex/Utilities/Logging.h"

#include <sys/resource.h>
#include <unistd.h>

namespace sonavex {

ProgressDispatcher::ProgressDispatcher() : thread_([this] { work(); }) {}

ProgressDispatcher::~ProgressDispatcher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ProgressDispatcher::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void ProgressDispatcher::drain() {
    if (std::this_thread::get_id() == thread_.get_id()) {
        return; // a job waiting for itself would never finish
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

void ProgressDispatcher::work() {
    // Callbacks are the caller's bookkeeping: they yield to the decoding threads. On Linux the nice
    // value of a thread id applies to that thread alone.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) {
            return; // stopping, nothing left
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& error) {
            Logging::error("Progress callback failed:", error.what());
        } catch (...) {
            Logging::error("Progress callback failed");
        }
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

} // namespace sonavex
