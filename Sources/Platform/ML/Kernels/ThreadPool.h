#pragma once
// The runtime's one pool of compute threads. Every parallel kernel runs on it, and OpenBLAS is kept
// single-threaded and called from inside the pool's partitions, so the two never compete for cores.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace ml::kernels {

class ThreadPool {
public:
    /// The process-wide pool: one thread per hardware thread (the caller counts as one).
    static ThreadPool& shared();

    explicit ThreadPool(size_t threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    /// Threads that work on a job, the calling thread included.
    size_t threadCount() const { return workers_.size() + 1; }

    /// Runs body(i) for every i in [0, count) and returns when all are done; the first exception
    /// thrown by a body is rethrown here. Safe to call from several threads at once (jobs take
    /// turns) and from inside a body (the nested job runs on the calling thread). Tasks are handed out
    /// in the order of i.
    template <class Body> void parallelFor(size_t count, Body&& body) {
        run(count, &invoke<std::remove_reference_t<Body>>, &body);
    }

private:
    using Trampoline = void (*)(void*, size_t);
    template <class Body> static void invoke(void* body, size_t i) { (*static_cast<Body*>(body))(i); }

    struct Job {
        Job(Trampoline t, void* b, size_t n) : trampoline(t), body(b), count(n) {}
        Trampoline trampoline;
        void* body;
        size_t count;
        std::atomic<size_t> next{0};
        std::atomic<size_t> finished{0};
        std::exception_ptr error; // guarded by mutex_
    };

    void run(size_t count, Trampoline trampoline, void* body);
    void workerLoop();
    void work(Job& job);

    std::vector<std::thread> workers_;
    std::mutex jobMutex_; // one job at a time

    // Handing out a job takes no lock while the workers are awake (they poll `generation_`); the mutex
    // and condition variables are for sleeping only, and are touched only when someone sleeps.
    std::atomic<size_t> generation_{0};
    std::atomic<Job*> job_{nullptr};
    std::atomic<size_t> visitors_{0}; // workers that may be looking at job_
    std::atomic<size_t> sleepingWorkers_{0};
    std::atomic<bool> callerSleeping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    bool stopping_ = false; // guarded by mutex_
};

/// Blocks of `block` needed to cover `total` (the last one may be partial).
inline size_t blocksOf(size_t total, size_t block) {
    return (total + block - 1) / block;
}

/// Tasks for work that can be split in `pieces`: up to four per thread, and a whole number per thread (one
/// task more than the threads would double the time of the last round).
inline size_t evenTasks(size_t pieces, size_t threads) {
    const size_t tasks = std::clamp<size_t>(pieces, 1, threads * 4);
    return tasks == 1 ? 1 : blocksOf(tasks, threads) * threads;
}

/// Splits [0, total) into `parts` near-equal ranges; range `part` as [begin, end), begin/end
/// rounded to multiples of `align` (except at the end).
inline void partitionRange(size_t total, size_t parts, size_t part, size_t align, size_t& begin,
                           size_t& end) {
    size_t blocks = (total + align - 1) / align;
    begin = std::min(total, blocks * part / parts * align);
    end = std::min(total, blocks * (part + 1) / parts * align);
}

} // namespace ml::kernels
