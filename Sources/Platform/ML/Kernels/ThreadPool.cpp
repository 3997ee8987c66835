#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <chrono>

namespace ml::kernels {
namespace {
thread_local bool insideJob = false;

// How long a thread keeps polling for the next job, or for the last task of its own, before it sleeps.
// A decoder step is dozens of jobs of tens of microseconds each, with a few microseconds of serial work
// between them; waking a sleeping thread takes about as long as one such job. Large jobs (the encoder's)
// lose nothing: the polling ends long before the next one would notice.
constexpr auto kSpinTime = std::chrono::microseconds(200);

// Polls `ready` for up to kSpinTime; true when it became true.
template <class Ready> bool spinUntil(Ready&& ready) {
    const auto deadline = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
        for (int spin = 0; spin < 32; ++spin) {
            if (ready())
                return true;
            __builtin_ia32_pause();
        }
        if (std::chrono::steady_clock::now() > deadline)
            return ready();
    }
}
} // namespace

ThreadPool& ThreadPool::shared() {
    static ThreadPool pool(std::max(1u, std::thread::hardware_concurrency()));
    return pool;
}

ThreadPool::ThreadPool(size_t threads) {
    for (size_t i = 1; i < threads; ++i)
        workers_.emplace_back([this] { workerLoop(); });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        generation_.fetch_add(1);
    }
    wake_.notify_all();
    for (auto& worker : workers_)
        worker.join();
}

void ThreadPool::work(Job& job) {
    insideJob = true;
    // Finished tasks are reported once, when none is left to take: one write to the shared count per
    // thread instead of one per task (a decoder step hands out a few hundred small tasks).
    size_t done = 0;
    for (size_t i = job.next.fetch_add(1); i < job.count; i = job.next.fetch_add(1)) {
        try {
            job.trampoline(job.body, i);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!job.error)
                job.error = std::current_exception();
        }
        ++done;
    }
    if (done != 0 && job.finished.fetch_add(done) + done == job.count && callerSleeping_.load()) {
        std::lock_guard lock(mutex_); // the caller is between its check and its wait, or waiting
        done_.notify_all();
    }
    insideJob = false;
}

void ThreadPool::workerLoop() {
    // Jobs are told apart by generation; a thread that starts late must still see every one, so
    // it starts from the generation at construction (0), not from whatever it finds.
    size_t seen = 0;
    for (;;) {
        if (!spinUntil([&] { return generation_.load() != seen; })) {
            std::unique_lock lock(mutex_);
            sleepingWorkers_.fetch_add(1);
            wake_.wait(lock, [&] { return stopping_ || generation_.load() != seen; });
            sleepingWorkers_.fetch_sub(1);
            if (stopping_)
                return;
        }
        seen = generation_.load();
        // Announce the visit before looking: the caller waits for visitors to leave before its job (on
        // its stack) ends, and a visitor that comes after the job is withdrawn finds nothing.
        visitors_.fetch_add(1);
        if (Job* job = job_.load())
            work(*job);
        visitors_.fetch_sub(1);
    }
}

void ThreadPool::run(size_t count, Trampoline trampoline, void* body) {
    if (count == 0)
        return;
    if (insideJob || workers_.empty() || count == 1) {
        for (size_t i = 0; i < count; ++i)
            trampoline(body, i);
        return;
    }
    std::lock_guard jobLock(jobMutex_);
    Job job{trampoline, body, count};
    job_.store(&job);
    generation_.fetch_add(1);
    if (sleepingWorkers_.load() != 0) {
        { std::lock_guard lock(mutex_); } // a worker between its check and its wait sees the generation
        wake_.notify_all();
    }
    work(job);
    if (!spinUntil([&] { return job.finished.load() == count; })) {
        std::unique_lock lock(mutex_);
        callerSleeping_.store(true);
        done_.wait(lock, [&] { return job.finished.load() == count; });
        callerSleeping_.store(false);
    }
    // Visitors may still be inside work() (finding nothing left); the job lives on this stack.
    job_.store(nullptr);
    while (visitors_.load() != 0)
        __builtin_ia32_pause();
    if (job.error)
        std::rethrow_exception(job.error);
}

} // namespace ml::kernels
