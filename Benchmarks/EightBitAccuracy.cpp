// How far the 8-bit weights take the turbo-shaped models from the same random checkpoint at half
// precision: the encoder's output for one window (relative RMS, for cpuOnly and cpuAndNeuralEngine), and
// the decoder's logits over 200 steps of one window (relative RMS per step: the largest and the mean),
// fed a scripted prompt and then the half model's own choices. One iteration; the figures are counters.

#include "BenchmarkSupport.h"
#include "OrvaneCore/Models/ModelPrediction.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace benchsupport;

double relativeRms(const std::vector<float>& reference, const std::vector<float>& other) {
    double error = 0, norm = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        error += (double(reference[i]) - other[i]) * (double(reference[i]) - other[i]);
        norm += double(reference[i]) * reference[i];
    }
    return std::sqrt(error / norm);
}

std::vector<float> encode(const ml::WhisperPreset& preset, ml::WeightType weights, ml::ComputeUnits units,
                          const ml::DictionaryFeatureProvider& input) {
    auto model = loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1, weights), "encoder",
                             preset.name + "-" + ml::weightTypeName(weights), units);
    return model->predict(input)->multiArray("encoder_output_embeds")->toFloats();
}

// One window's decoding state: the caches the caller keeps, filled from each step's updates.
struct Window {
    const ml::TextDecoderShape& shape;
    std::shared_ptr<ml::MultiArray> keys, values, mask, padding, embeds;
    int64_t position = 0;

    Window(const ml::TextDecoderShape& s, std::shared_ptr<ml::MultiArray> encoderOutput)
        : shape(s), embeds(std::move(encoderOutput)) {
        const int64_t e = s.layers * s.width;
        keys = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, e, 1, s.cacheLength},
                                                ml::MultiArrayDataType::Float16);
        values = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, e, 1, s.cacheLength},
                                                  ml::MultiArrayDataType::Float16);
        mask = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, s.cacheLength},
                                                ml::MultiArrayDataType::Int32);
        padding = std::make_shared<ml::MultiArray>(
            ml::MultiArray::filled({1, s.cacheLength}, ml::MultiArrayDataType::Float16, -10000.0));
    }

    std::vector<float> step(const ml::Model& model, int token) {
        mask->fill(0);
        mask->setValue(position, 1);
        padding->setValue(position, 0.0);
        ml::DictionaryFeatureProvider input;
        input.set("input_ids", ml::FeatureValue(std::make_shared<ml::MultiArray>(
                                   ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, token))));
        input.set("cache_length", ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::MultiArray::filled(
                                      {1}, ml::MultiArrayDataType::Int32, double(position)))));
        input.set("key_cache", ml::FeatureValue(keys));
        input.set("value_cache", ml::FeatureValue(values));
        input.set("kv_cache_update_mask", ml::FeatureValue(mask));
        input.set("encoder_output_embeds", ml::FeatureValue(embeds));
        input.set("decoder_key_padding_mask", ml::FeatureValue(padding));
        const auto output = model.predict(input);
        const auto keyUpdates = output->multiArray("key_cache_updates");
        const auto valueUpdates = output->multiArray("value_cache_updates");
        const int64_t e = shape.layers * shape.width;
        auto* k = static_cast<uint16_t*>(keys->data());
        auto* v = static_cast<uint16_t*>(values->data());
        for (int64_t c = 0; c < e; ++c) {
            k[c * shape.cacheLength + position] = static_cast<const uint16_t*>(keyUpdates->data())[c];
            v[c * shape.cacheLength + position] = static_cast<const uint16_t*>(valueUpdates->data())[c];
        }
        ++position;
        return output->multiArray("logits")->toFloats();
    }
};

void BM_TurboEightBitAccuracy(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named("turbo");
    constexpr int kSteps = 200;
    for (auto _ : state) {
        ml::DictionaryFeatureProvider input;
        input.set("melspectrogram_features",
                  ml::FeatureValue(randomHalves({1, preset.encoder.mels, 1, 3000}, 1.0f, 3)));
        const auto reference = encode(preset, ml::WeightType::half, ml::ComputeUnits::cpuOnly, input);
        for (auto units : {ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine})
            state.counters[std::string("encoder ") + orvane::description(units) + " rel RMS%"] =
                100.0 * relativeRms(reference, encode(preset, ml::WeightType::int8, units, input));

        auto embeds = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, preset.encoder.width, 1, 1500},
                                                       ml::MultiArrayDataType::Float16);
        for (size_t i = 0; i < reference.size(); ++i)
            embeds->setValue(int64_t(i), reference[i]);
        const ml::TextDecoderShape& s = preset.decoder;
        auto half = loadWritten(ml::TextDecoderModel::writer(s, 2), "decoder", "turbo-half");
        auto int8 =
            loadWritten(ml::TextDecoderModel::writer(s, 2, ml::WeightType::int8), "decoder", "turbo-int8");
        Window halfWindow(s, embeds), int8Window(s, embeds);
        const int prompt[] = {50258, 50259, 50360, 50364};
        double largest = 0, sum = 0;
        int token = prompt[0];
        for (int step = 0; step < kSteps; ++step) {
            const auto expected = halfWindow.step(*half, token);
            const double error = relativeRms(expected, int8Window.step(*int8, token));
            largest = std::max(largest, error);
            sum += error;
            token = step + 1 < int(std::size(prompt))
                        ? prompt[step + 1]
                        : int(std::max_element(expected.begin(), expected.end()) - expected.begin());
        }
        state.counters["logits max rel RMS%"] = 100.0 * largest;
        state.counters["logits mean rel RMS%"] = 100.0 * sum / kSteps;
    }
    state.SetLabel(cpuModelName() + ", turbo, 8-bit against half weights, " + std::to_string(kSteps) +
                   " steps");
}

} // namespace

BENCHMARK(BM_TurboEightBitAccuracy)->Iterations(1)->Unit(benchmark::kSecond);
