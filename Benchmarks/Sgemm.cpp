// The encoder's dominant matrix product (1500 frames x 1280 x 1280, float) in GFLOP/s: OpenBLAS with its
// own threads, and the runtime's product (single-threaded OpenBLAS partitioned over our pool), beside the
// machine's measured peak: a register-only fused multiply-add loop on as many threads. The packed products
// also run on one thread for every encoder layer's shape, as a share of one core's peak measured beside them.

#include "BenchmarkSupport.h"
#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cblas.h>
#include <immintrin.h>
#include <random>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

std::vector<float> randomValues(std::size_t count) {
    std::vector<float> values(count);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (float& x : values) x = value(random);
    return values;
}

void BM_Sgemm(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const int k = static_cast<int>(state.range(2));
    const int threads = static_cast<int>(state.range(3));
    const std::vector<float> a = randomValues(static_cast<std::size_t>(m) * k);
    const std::vector<float> b = randomValues(static_cast<std::size_t>(k) * n);
    std::vector<float> c(static_cast<std::size_t>(m) * n);
    openblas_set_num_threads(threads);
    for (auto _ : state) {
        // Activations [m, k] times a weight stored [n, k] (out x in), as linear layers run.
        cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, m, n, k, 1.0f, a.data(), k, b.data(), k, 0.0f,
                    c.data(), n);
        benchmark::DoNotOptimize(c.data());
    }
    openblas_set_num_threads(1); // the runtime's own products expect a single-threaded OpenBLAS
    state.counters["GFLOP/s"] = benchmark::Counter(2.0 * m * n * k * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(std::to_string(threads) + " OpenBLAS threads");
}

void BM_RuntimeGemm(benchmark::State& state) {
    const size_t m = static_cast<size_t>(state.range(0));
    const size_t n = static_cast<size_t>(state.range(1));
    const size_t k = static_cast<size_t>(state.range(2));
    const std::vector<float> a = randomValues(m * k), b = randomValues(k * n);
    std::vector<float> c(m * n);
    for (auto _ : state) {
        ml::kernels::gemm(false, true, m, n, k, 1.0f, a.data(), k, b.data(), k, 0.0f, c.data(), n);
        benchmark::DoNotOptimize(c.data());
    }
    state.counters["GFLOP/s"] = benchmark::Counter(2.0 * m * n * k * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(std::to_string(ml::kernels::ThreadPool::shared().threadCount()) + " pool threads");
}

// The encoder's products on weights packed at load: float32 register tiles (argument 3 = 0) or bfloat16
// matrix tiles (1, float32 where the processor has none).
void BM_PackedLinear(benchmark::State& state) {
    const size_t m = static_cast<size_t>(state.range(0));
    const size_t n = static_cast<size_t>(state.range(1));
    const size_t k = static_cast<size_t>(state.range(2));
    const auto wanted = state.range(3) ? ml::kernels::Precision::bfloat16 : ml::kernels::Precision::float32;
    const std::vector<float> a = randomValues(m * k), b = randomValues(k * n);
    const auto packed = ml::kernels::PackedWeights::pack(b.data(), n, k, wanted);
    std::vector<float> c(m * n);
    for (auto _ : state) {
        ml::kernels::packedLinear(a.data(), m, packed, nullptr, c.data());
        benchmark::DoNotOptimize(c.data());
    }
    state.counters["GFLOP/s"] =
        benchmark::Counter(2.0 * m * n * k * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
    const bool reduced = packed.precision() == ml::kernels::Precision::bfloat16;
    state.SetLabel(
        (reduced ? "bfloat16 " + std::string(ml::kernels::bfloatRoadName(packed.road())) + ", "
                 : std::string(packed.kernels().name) + " float32, ") +
        std::to_string(ml::kernels::ThreadPool::shared().threadCount()) + " pool threads");
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// One core's float32 peak in GFLOP per CPU second of the calling thread.
double oneThreadPeak() {
    constexpr int64_t kRounds = 1 << 20;
    const bool wide = __builtin_cpu_supports("avx512f");
    float sink = 0;
    const double start = threadCpuSeconds();
    wide ? benchsupport::fmaLoopAvx512(kRounds, &sink) : benchsupport::fmaLoopAvx2(kRounds, &sink);
    const double seconds = threadCpuSeconds() - start;
    benchmark::DoNotOptimize(sink);
    return double(kRounds) * (wide ? 16.0 * 16 * 2 : 12.0 * 8 * 2) * 1e-9 / seconds;
}

// The float32 packed product on one thread (run as the only busy task of a pool job, so the product's
// own job runs inline), in GFLOP per CPU second of that thread beside one core's peak measured on the
// same thread right before and after each product: the median of those ratios is robust to other work
// on the machine (which slows both alike, or shows as an outlier).
void BM_PackedLinearOneThread(benchmark::State& state) {
    const size_t m = static_cast<size_t>(state.range(0));
    const size_t n = static_cast<size_t>(state.range(1));
    const size_t k = static_cast<size_t>(state.range(2));
    const std::vector<float> a = randomValues(m * k), b = randomValues(k * n);
    const auto packed = ml::kernels::PackedWeights::pack(b.data(), n, k, ml::kernels::Precision::float32);
    std::vector<float> c(m * n);
    const double gflop = 2.0 * double(m * n * k) * 1e-9;
    std::vector<double> rates, ratios;
    for (auto _ : state) {
        ml::kernels::ThreadPool::shared().parallelFor(2, [&](size_t task) {
            if (task != 0)
                return;
            const double peakBefore = oneThreadPeak();
            const double start = threadCpuSeconds();
            ml::kernels::packedLinear(a.data(), m, packed, nullptr, c.data());
            const double rate = gflop / (threadCpuSeconds() - start);
            rates.push_back(rate);
            ratios.push_back(rate / std::max(peakBefore, oneThreadPeak()));
        });
        benchmark::DoNotOptimize(c.data());
    }
    std::sort(rates.begin(), rates.end());
    std::sort(ratios.begin(), ratios.end());
    state.counters["GFLOP/cpu-s"] = rates[rates.size() / 2];
    state.counters["of peak%"] = 100.0 * ratios[ratios.size() / 2];
    state.SetLabel(std::string(packed.kernels().name) + " float32, 1 thread, " + benchsupport::cpuModelName());
}

// Every thread runs the loop at once; the rate is all their work over the wall time of the whole round.
// Argument 1: the float32 fused multiply-add (0) or the processor's bfloat16 road (1).
void BM_PeakFma(benchmark::State& state) {
    const bool wide = __builtin_cpu_supports("avx512f");
    const auto threads = static_cast<std::size_t>(state.range(0));
    const auto road = state.range(1) ? ml::kernels::bestBfloatRoad() : ml::kernels::BfloatRoad::none;
    const int64_t rounds = benchsupport::peakRounds(road) / 4;
    std::vector<float> sinks(threads);
    double flops = 0;
    for (auto _ : state) {
        std::vector<std::thread> running;
        std::vector<double> done(threads);
        for (std::size_t t = 0; t < threads; ++t)
            running.emplace_back([&, t] { done[t] = benchsupport::peakLoop(road, rounds, &sinks[t]); });
        for (auto& thread : running) {
            thread.join();
        }
        for (double f : done)
            flops += f;
        benchmark::DoNotOptimize(sinks.data());
    }
    state.counters["GFLOP/s"] = benchmark::Counter(flops * 1e-9, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(road != ml::kernels::BfloatRoad::none ? ml::kernels::bfloatRoadName(road)
                               : wide                                 ? "AVX-512 FMA"
                                                                      : "AVX2 FMA") +
                   ", " + std::to_string(threads) + " threads");
}

} // namespace

BENCHMARK(BM_Sgemm)->Args({1500, 1280, 1280, 1})->Args({1500, 1280, 1280, 8})->Args({1500, 5120, 1280, 8})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RuntimeGemm)->Args({1500, 1280, 1280})->Args({1500, 5120, 1280})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackedLinear)
    ->ArgsProduct({{1500}, {1280, 5120}, {1280}, {0, 1}})
    ->Args({1500, 1280, 5120, 0})
    ->Args({1500, 1280, 5120, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The encoder's layers: turbo (1280), small (768), base (512), tiny (384): attention projections, the
// fused query/key/value projection, the MLP's two layers, and the second convolution's im2col product.
BENCHMARK(BM_PackedLinearOneThread)
    ->Args({1500, 1280, 1280})
    ->Args({1500, 3840, 1280})
    ->Args({1500, 5120, 1280})
    ->Args({1500, 1280, 5120})
    ->Args({1500, 1280, 3840})
    ->Args({1500, 768, 768})
    ->Args({1500, 3072, 768})
    ->Args({1500, 768, 3072})
    ->Args({1500, 512, 512})
    ->Args({1500, 2048, 512})
    ->Args({1500, 384, 384})
    ->Args({1500, 1536, 384})
    ->MinTime(0.5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakFma)->ArgsProduct({{1, 8}, {0, 1}})->UseRealTime();
