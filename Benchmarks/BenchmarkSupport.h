#pragma once
// Set-up and measuring shared by the model benchmarks. Every Benchmarks/*.cpp is its own program, so this
// stays header-only.

#include "Platform/ML/FeatureProvider.h"
#include "Platform/ML/Model.h"
#include "Platform/ML/ModelWriter.h"
#include "Platform/ML/MultiArray.h"

#include <benchmark/benchmark.h>
#include <filesystem>
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
                                              const std::string& variant) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("velmora-bench-" + kind + "-" + std::to_string(::getpid()) + "-" + variant + ".mlmodelc");
    writer.writeCompiled(folder);
    auto model = ml::Model::load(folder);
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

} // namespace benchsupport
