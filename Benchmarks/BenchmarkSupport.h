#pragma once
// Set-up and measuring shared by the model benchmarks. Every Benchmarks/*.cpp is its own program, so this
// stays header-only.

#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Values/FeatureProvider.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/Packed/BfloatRoad.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Values/MultiArray.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <immintrin.h>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace benchsupport {

/// The public model sizes, indexed by the benchmarks' first argument.
inline const char* const kPresets[] = {"tiny", "base", "small", "turbo"};

/// CPU seconds of the whole process (every thread): with other work on the machine, "cores" (CPU time
/// over wall time) shows how much of it the benchmark actually got.
inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

/// Writes the model to a temporary folder and loads it; the folder is never left behind (the weights stay
/// mapped).
inline std::shared_ptr<ml::Model> loadWritten(const ml::ModelWriter& writer, const std::string& kind,
                                              const std::string& variant,
                                              ml::ComputeUnits units = ml::ComputeUnits::cpuOnly) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("velmora-bench-" + kind + "-" + std::to_string(::getpid()) + "-" + variant + ".mlmodelc");
    writer.writeCompiled(folder);
    ml::ModelConfiguration configuration;
    configuration.computeUnits = units;
    auto model = ml::Model::load(folder, configuration);
    std::filesystem::remove_all(folder);
    return model;
}

inline std::shared_ptr<ml::MultiArray> randomHalves(std::vector<int64_t> shape, float spread, unsigned seed) {
    auto array = std::make_shared<ml::MultiArray>(shape, ml::MultiArrayDataType::Float16);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-spread, spread);
    for (auto& x : array->elements<ml::Float16>())
        x = ml::Float16(value(random));
    return array;
}

/// The timed loop, with the "cores" counter.
inline void timePredictions(benchmark::State& state, const ml::Model& model,
                            const ml::FeatureProvider& input) {
    const double cpuStart = processCpuSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(model.predict(input));
    state.counters["cores"] = benchmark::Counter(processCpuSeconds() - cpuStart, benchmark::Counter::kIsRate);
}

// Peak loops: 16 independent accumulators (unrolled, so they live in registers) hide the latency.
__attribute__((target("avx512f"))) inline void fmaLoopAvx512(int64_t rounds, float* sink) {
    __m512 acc[16];
    for (int i = 0; i < 16; ++i)
        acc[i] = _mm512_set1_ps(float(i) * 1e-3f);
    const __m512 x = _mm512_set1_ps(0.999999f), y = _mm512_set1_ps(1e-7f);
    for (int64_t r = 0; r < rounds; ++r) {
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            acc[i] = _mm512_fmadd_ps(acc[i], x, y);
    }
    for (int i = 1; i < 16; ++i)
        acc[0] = _mm512_add_ps(acc[0], acc[i]);
    float lanes[16];
    _mm512_storeu_ps(lanes, acc[0]);
    *sink = lanes[0];
}

__attribute__((target("avx2,fma"))) inline void fmaLoopAvx2(int64_t rounds, float* sink) {
    __m256 acc[12];
    for (int i = 0; i < 12; ++i)
        acc[i] = _mm256_set1_ps(float(i) * 1e-3f);
    const __m256 x = _mm256_set1_ps(0.999999f), y = _mm256_set1_ps(1e-7f);
    for (int64_t r = 0; r < rounds; ++r) {
#pragma GCC unroll 12
        for (int i = 0; i < 12; ++i)
            acc[i] = _mm256_fmadd_ps(acc[i], x, y);
    }
    float lanes[8];
    _mm256_storeu_ps(lanes, acc[0]);
    *sink = lanes[0];
}

// The same with bfloat16 pair dot products (vdpbf16ps: 32 multiply-adds a vector).
__attribute__((target("avx512f,avx512bf16"))) inline void dotLoopBfloat16(int64_t rounds, float* sink) {
    __m512 acc[16];
    for (int i = 0; i < 16; ++i)
        acc[i] = _mm512_set1_ps(float(i) * 1e-3f);
    const __m512bh x = (__m512bh)_mm512_set1_epi32(0x3F7F3F7F), y = (__m512bh)_mm512_set1_epi32(0x33D633D6);
    for (int64_t r = 0; r < rounds; ++r) {
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            acc[i] = _mm512_dpbf16_ps(acc[i], x, y);
    }
    for (int i = 1; i < 16; ++i)
        acc[0] = _mm512_add_ps(acc[0], acc[i]);
    float lanes[16];
    _mm512_storeu_ps(lanes, acc[0]);
    *sink = lanes[0];
}

// Four independent result tiles of bfloat16 products (16 x 16 x 32 multiply-adds each).
struct TileLoopConfig {
    uint8_t palette = 1, startRow = 0, reserved[14] = {};
    uint16_t bytesPerRow[16] = {};
    uint8_t rows[16] = {};
};
__attribute__((target("amx-tile,amx-bf16"))) inline void tileLoop(int64_t rounds, float* sink) {
    TileLoopConfig config;
    for (int t = 0; t < 8; ++t) {
        config.rows[t] = 16;
        config.bytesPerRow[t] = 64;
    }
    _tile_loadconfig(&config);
    alignas(64) static const uint16_t operand[16 * 32] = {};
    alignas(64) float result[16 * 16];
    _tile_zero(0);
    _tile_zero(1);
    _tile_zero(2);
    _tile_zero(3);
    _tile_loadd(4, operand, 64);
    _tile_loadd(5, operand, 64);
    _tile_loadd(6, operand, 64);
    _tile_loadd(7, operand, 64);
    for (int64_t r = 0; r < rounds; ++r) {
        _tile_dpbf16ps(0, 4, 6);
        _tile_dpbf16ps(1, 4, 7);
        _tile_dpbf16ps(2, 5, 6);
        _tile_dpbf16ps(3, 5, 7);
    }
    _tile_stored(0, result, 64);
    _tile_release();
    *sink = result[0];
}

/// The peak loop of a bfloat16 road (`none`: the float32 fused multiply-add) on the calling thread:
/// `rounds` rounds of it, returning the floating-point operations done.
inline double peakLoop(ml::kernels::BfloatRoad road, int64_t rounds, float* sink) {
    using ml::kernels::BfloatRoad;
    const bool wide = __builtin_cpu_supports("avx512f");
    if (road == BfloatRoad::tiles) {
        tileLoop(rounds, sink);
        return double(rounds) * 4.0 * 16 * 16 * 32 * 2;
    }
    if (road == BfloatRoad::vectors) {
        dotLoopBfloat16(rounds, sink);
        return double(rounds) * 16.0 * 16 * 4;
    }
    if (wide) {
        fmaLoopAvx512(rounds, sink);
        return double(rounds) * 16.0 * 16 * 2;
    }
    fmaLoopAvx2(rounds, sink);
    return double(rounds) * 12.0 * 8 * 2;
}

/// Rounds of peakLoop that take a few milliseconds.
inline int64_t peakRounds(ml::kernels::BfloatRoad road) {
    return road == ml::kernels::BfloatRoad::tiles ? 1 << 16 : 1 << 22;
}

/// The machine's peak right now, on every pool thread at once: the float32 fused multiply-add peak, or a
/// bfloat16 road's. Measured in the same run as the figure it is compared with, as the machine may be
/// shared: in GFLOP per second of wall time and per second of CPU time (one core's peak, whatever share of
/// the machine the loop got).
struct Peak {
    double gflops = 0;
    double gflopsPerCore = 0;
};

// The best of a few rounds: a round in which the system put two pool threads on one core for a while
// (seen on virtual machines) measures half the machine, and a peak is what the machine can do.
inline Peak measuredPeak(ml::kernels::BfloatRoad road) {
    auto& pool = ml::kernels::ThreadPool::shared();
    std::vector<float> sinks(pool.threadCount());
    std::vector<double> flops(pool.threadCount());
    Peak best;
    for (int round = 0; round < 5; ++round) {
        const double cpuStart = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        pool.parallelFor(pool.threadCount(),
                         [&](size_t t) { flops[t] = peakLoop(road, peakRounds(road), &sinks[t]); });
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpuSeconds = processCpuSeconds() - cpuStart;
        double gflop = 0;
        for (double f : flops)
            gflop += f * 1e-9;
        best.gflops = std::max(best.gflops, gflop / seconds);
        best.gflopsPerCore = std::max(best.gflopsPerCore, gflop / cpuSeconds);
    }
    benchmark::DoNotOptimize(sinks.data());
    return best;
}

/// The machine's copy bandwidth right now in GB/s (bytes read plus bytes written, as STREAM counts them):
/// 256 MB copied in one share per pool thread, measured in the same run as the figure it is compared with.
inline double measuredCopyGigabytesPerSecond() {
    constexpr size_t kBytes = size_t(256) << 20;
    static std::vector<char> source(kBytes, 1), target(kBytes, 0); // touched once, outside the timing
    auto& pool = ml::kernels::ThreadPool::shared();
    const size_t threads = pool.threadCount(), share = kBytes / threads;
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        pool.parallelFor(threads, [&](size_t t) { std::memcpy(&target[t * share], &source[t * share], share); });
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, 2.0 * double(share * threads) / seconds * 1e-9);
    }
    benchmark::DoNotOptimize(target.data());
    return best;
}

// Reads [p, p + bytes) (bytes a multiple of 256) with four independent sums, one cache line per load,
// prefetching 2 KB ahead as the decoder's kernels do.
__attribute__((target("avx512f"))) inline uint64_t readLoopAvx512(const char* p, size_t bytes) {
    __m512i a0 = _mm512_setzero_si512(), a1 = a0, a2 = a0, a3 = a0;
    for (size_t i = 0; i < bytes; i += 256) {
        for (size_t line = 0; line < 256; line += 64)
            _mm_prefetch(p + i + 2048 + line, _MM_HINT_T0);
        a0 = _mm512_add_epi64(a0, _mm512_loadu_si512(p + i));
        a1 = _mm512_add_epi64(a1, _mm512_loadu_si512(p + i + 64));
        a2 = _mm512_add_epi64(a2, _mm512_loadu_si512(p + i + 128));
        a3 = _mm512_add_epi64(a3, _mm512_loadu_si512(p + i + 192));
    }
    // Summed through memory: GCC 12's _mm512_reduce_add_epi64 warns about its own header.
    alignas(64) uint64_t lanes[8];
    _mm512_store_si512(lanes, _mm512_add_epi64(_mm512_add_epi64(a0, a1), _mm512_add_epi64(a2, a3)));
    uint64_t sum = 0;
    for (uint64_t lane : lanes) {
        sum += lane;
    }
    return sum;
}

inline uint64_t readLoop(const char* p, size_t bytes) {
    uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (size_t i = 0; i < bytes; i += 32) {
        uint64_t w[4];
        std::memcpy(w, p + i, 32);
        s0 += w[0];
        s1 += w[1];
        s2 += w[2];
        s3 += w[3];
    }
    return s0 + s1 + s2 + s3;
}

/// The machine's read bandwidth right now in GB/s for a working set of `bytes`, read again and again on all
/// pool threads (each its share; best of several rounds): the floor of a step that reads that many bytes
/// per token, where a working set that fits the last-level cache partly comes from there, as the step's
/// does. Measured in the same run as the figure it is compared with.
inline double measuredReadGigabytesPerSecond(size_t bytes) {
    auto& pool = ml::kernels::ThreadPool::shared();
    const size_t threads = pool.threadCount(), share = bytes / threads / 256 * 256;
    std::vector<char> buffer(share * threads, 1);
    std::vector<uint64_t> sinks(threads);
    const bool wide = __builtin_cpu_supports("avx512f");
    double best = 0;
    for (int round = 0; round < 6; ++round) {
        const auto start = std::chrono::steady_clock::now();
        pool.parallelFor(threads, [&](size_t t) {
            const char* part = buffer.data() + t * share;
            sinks[t] += wide ? readLoopAvx512(part, share) : readLoop(part, share);
        });
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, double(share * threads) / seconds * 1e-9);
    }
    benchmark::DoNotOptimize(sinks.data());
    return best;
}

/// The processor's model name from /proc/cpuinfo, for the figures' labels.
inline std::string cpuModelName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

/// A file in the temporary folder ("velmora-bench-<name>-<pid><extension>"), made by `write` the first
/// time its path is asked for and removed when the program ends. Keep one in a function-local static.
class ScratchFile {
public:
    ScratchFile(const std::string& name, const std::string& extension,
                const std::function<void(const std::string& path)>& write)
        : path_((std::filesystem::temp_directory_path() /
                 ("velmora-bench-" + name + "-" + std::to_string(::getpid()) + extension))
                    .string()) {
        write(path_);
    }
    ~ScratchFile() { std::filesystem::remove(path_); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

/// Resident memory in MB from /proc/self/status: "VmRSS" now, "VmHWM" the high-water mark since the last
/// reset.
inline double residentMegabytes(const std::string& field = "VmRSS") {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    return 0;
}

/// The high-water mark since the last reset, in MB.
inline double peakResidentMegabytes() {
    return residentMegabytes("VmHWM");
}

/// Starts a new high-water mark at the current resident size.
inline void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace benchsupport
