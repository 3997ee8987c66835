// One 30-second window through the mel-spectrogram model (80 and 128 bands), as the engine runs it.

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

#include "BenchmarkSupport.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Model/Model.h"

namespace {

void BM_MelSpectrogramWindow(benchmark::State& state) {
    const int64_t mels = state.range(0);
    auto model =
        benchsupport::loadWritten(ml::MelSpectrogramModel::writer(mels), "mel", std::to_string(mels));
    auto audio = std::make_shared<ml::MultiArray>(std::vector<int64_t>{480000}, ml::MultiArrayDataType::Float32);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    for (float& sample : audio->elements<float>()) {
        sample = noise(random);
    }
    ml::DictionaryFeatureProvider input;
    input.set("audio", ml::FeatureValue(audio));
    for (auto _ : state) {
        benchmark::DoNotOptimize(model->predict(input));
    }
    state.SetLabel(std::to_string(state.range(0)) + " mels");
}

} // namespace

BENCHMARK(BM_MelSpectrogramWindow)->Arg(80)->Arg(128)->Unit(benchmark::kMillisecond)->UseRealTime();
