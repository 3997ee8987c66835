#pragma once
// Runs the decoder's progress callbacks off the decoding loop: one low-priority thread works through the
// posted jobs in order while the loop goes on without waiting. Jobs posted by several windows at once
// share the thread. Destruction runs the jobs still queued, then joins the thread — unless a job itself
// destroys the dispatcher (its callback dropped the last owner of the decoder): then the queued jobs are
// dropped and the thread ends by itself once that job returns.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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
    /// What the worker thread shares with the dispatcher; the thread holds it too, so it outlives a
    /// dispatcher destroyed from inside a job.
    struct Queue {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> jobs;
        bool running = false;
        bool stopping = false;
    };

    static void work(const std::shared_ptr<Queue>& queue);

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};

} // namespace sonavex
