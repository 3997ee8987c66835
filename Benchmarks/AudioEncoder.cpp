// One 30-second window through the audio encoder at the shapes of the public model sizes, with random
// weights written to a temporary folder at start: seconds per window, effective GFLOP/s and the share
// of time in matrix products (with their fused bias/GELU), attention and everything else.

#include "Platform/ML/AudioEncoderModel.h"
#include "Platform/ML/DictionaryFeatureProvider.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Model.h"
#include "Platform/ML/WhisperPreset.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// CPU seconds of the whole process (every thread): with other work on the machine, "cores" (CPU time over
// wall time) shows how much of it the benchmark actually got.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

const char* const kPresets[] = {"tiny", "base", "small", "turbo"};

std::shared_ptr<ml::Model> loadEncoder(const ml::WhisperPreset& preset) {
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("velmora-bench-encoder-" + std::to_string(::getpid()) + "-" + preset.name + ".mlmodelc");
    ml::AudioEncoderModel::writer(preset.encoder, 1).writeCompiled(folder);
    auto model = ml::Model::load(folder);
    std::filesystem::remove_all(folder); // never left behind
    return model;
}

double encoderFlops(const ml::AudioEncoderShape& s) {
    const double t = double(s.frames), d = double(s.width);
    const double convs = 2.0 * 3 * double(s.mels) * d * 2 * t + 2.0 * 3 * d * d * t;
    const double perLayer = 2.0 * t * d * d * (3 + 1 + 4 + 4) + 2.0 * 2 * t * t * d;
    return convs + double(s.layers) * perLayer;
}

void BM_AudioEncoderWindow(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(kPresets[state.range(0)]);
    auto model = loadEncoder(preset);
    auto mel = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, preset.encoder.mels, 1, 3000},
                                                ml::MultiArrayDataType::Float16);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (auto& x : mel->elements<ml::Float16>())
        x = ml::Float16(value(random));
    ml::DictionaryFeatureProvider input;
    input.set("melspectrogram_features", ml::FeatureValue(mel));

    auto& profile = ml::AudioEncoderModel::threadProfile();
    model->predict(input); // warm: first-touch of scratch memory and the pool
    profile = {};
    const double cpuStart = processCpuSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(model->predict(input));
    state.counters["cores"] = benchmark::Counter(processCpuSeconds() - cpuStart, benchmark::Counter::kIsRate);
    const double total = profile.products + profile.attention + profile.other;
    state.counters["GFLOP/s"] = benchmark::Counter(encoderFlops(preset.encoder) * 1e-9,
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["products%"] = 100.0 * profile.products / total;
    state.counters["attention%"] = 100.0 * profile.attention / total;
    state.counters["other%"] = 100.0 * profile.other / total;
    state.SetLabel(preset.name + ", " + std::to_string(ml::kernels::ThreadPool::shared().threadCount()) +
                   " threads");
}

} // namespace

BENCHMARK(BM_AudioEncoderWindow)->DenseRange(0, 3)->Unit(benchmark::kSecond)->UseRealTime()->MinTime(2.0);
