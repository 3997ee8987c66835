// One 30-second window through the mel-spectrogram model (80 and 128 bands), as the engine runs it.

#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "Platform/ML/DictionaryFeatureProvider.h"
#include "Platform/ML/MelSpectrogramModel.h"
#include "Platform/ML/Model.h"

namespace {

std::shared_ptr<ml::Model> loadMelModel(int64_t mels) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("velmora-bench-mel-" + std::to_string(::getpid()) + "-" + std::to_string(mels) + ".mlmodelc");
    ml::MelSpectrogramModel::writer(mels).writeCompiled(folder);
    auto model = ml::Model::load(folder);
    std::filesystem::remove_all(folder); // the weights stay mapped
    return model;
}

void BM_MelSpectrogramWindow(benchmark::State& state) {
    auto model = loadMelModel(state.range(0));
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
