#pragma once
// Runs a list of independent jobs side by side on a bounded number of threads and waits for all of
// them: the engine's stand-in for a task group. Each job is taken by index, so results go into slots
// in input order whatever order the jobs finish in.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace sonavex {

/// Calls work(i) once for every i < count on at most `workers` threads, the calling thread among them.
/// `work` must not throw.
inline void runOnWorkerThreads(std::size_t count, std::size_t workers, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t index = next++; index < count; index = next++) {
            work(index);
        }
    };
    std::vector<std::jthread> threads;
    for (std::size_t i = 1; i < std::min(workers, count); ++i) {
        threads.emplace_back(worker);
    }
    worker();
}

} // namespace sonavex
