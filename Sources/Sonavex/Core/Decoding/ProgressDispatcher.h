#pragma once
// Runs the decoder's progress callbacks off the decoding loop: one low-priority thread works through the
// posted jobs in order while the loop goes on without waiting. Jobs posted by several windows at once
// share the thread. Destruction runs the jobs still queued, then joins the thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sonavex {

class ProgressDispatcher {
public:
    ProgressDispatcher();
    ~ProgressDispatcher();
    ProgressDispatcher(const ProgressDispatcher&) = delete;
    ProgressDispatcher& operator=(const ProgressDispatcher&) = delete;

    /// Queues the job and returns at once. An exception a job throws is dropped (logged at error level).
    void post(std::function<void()> job);

    /// Blocks until every job posted so far has run (for callers that must see their callbacks done); from
    /// inside a job it returns at once.
    void drain();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sonavex
