// The cost of handing a job to the compute pool and waiting for it: tasks that do next to nothing, as many
// as the decoder's jobs have (a decoder step is dozens of such jobs, each a few to tens of microseconds of
// work, so this cost is a share of every token). Nanoseconds per job, on every pool thread.

#include "Platform/ML/Kernels/ThreadPool.h"

#include <benchmark/benchmark.h>
#include <atomic>

namespace {

void BM_ThreadPoolHandOff(benchmark::State& state) {
    auto& pool = ml::kernels::ThreadPool::shared();
    std::atomic<size_t> sink{0};
    const size_t tasks = size_t(state.range(0));
    for (auto _ : state)
        pool.parallelFor(tasks, [&](size_t i) { sink.fetch_add(i, std::memory_order_relaxed); });
    state.SetLabel(std::to_string(tasks) + " tasks, " + std::to_string(pool.threadCount()) + " pool threads");
}

} // namespace

BENCHMARK(BM_ThreadPoolHandOff)->Arg(8)->Arg(16)->Arg(32)->Arg(48)->Arg(80);
