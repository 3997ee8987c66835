// One 30-second window through the audio encoder at the shapes of the public model sizes, with random
// weights written to a temporary folder at start: seconds per window, effective GFLOP/s and the share
// of time in matrix products (with their fused bias/GELU), attention and everything else.

#include "BenchmarkSupport.h"
#include "Platform/ML/AudioEncoderModel.h"
#include "Platform/ML/DictionaryFeatureProvider.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Model.h"
#include "Platform/ML/WhisperPreset.h"

#include <benchmark/benchmark.h>
#include <map>

namespace {

using namespace benchsupport;

double encoderFlops(const ml::AudioEncoderShape& s) {
    const double t = double(s.frames), d = double(s.width);
    const double convs = 2.0 * 3 * double(s.mels) * d * 2 * t + 2.0 * 3 * d * d * t;
    const double perLayer = 2.0 * t * d * d * (3 + 1 + 4 + 4) + 2.0 * 2 * t * t * d;
    return convs + double(s.layers) * perLayer;
}

void BM_AudioEncoderWindow(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(kPresets[state.range(0)]);
    auto model = loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1), "encoder", preset.name);
    ml::DictionaryFeatureProvider input;
    input.set("melspectrogram_features",
              ml::FeatureValue(randomHalves({1, preset.encoder.mels, 1, 3000}, 1.0f, 3)));

    auto& profile = ml::AudioEncoderModel::threadProfile();
    model->predict(input); // warm: first-touch of scratch memory and the pool
    profile = {};
    timePredictions(state, *model, input);
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
