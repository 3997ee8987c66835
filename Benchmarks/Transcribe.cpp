// The whole road through the engine facade: ten minutes of audio, mel, encoder, the decoder loop and the
// seeker, window after window, on random-weight models of the tiny and turbo shapes (turbo also with 8-bit
// weights) with the engine's default compute units. Random weights give no real text, so a scripting filter
// (a configuration's extra logits filter) makes every window decode 128 text tokens, a closing timestamp and
// the end token: each window runs the same real model steps and seeks a full window. Counters: the real-time
// factor, the share of each stage (the loop: filters, sampling, cache copies and the rest of each step;
// seeking: the seeker and the window's bookkeeping), and "outside models" — everything but the three models'
// predictions.

#include "BenchmarkSupport.h"
#include "BenchmarkTokenizer.h"
#include "OrvaneCore/System/ProcessInfo.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Core/Text/LogitsFiltering.h"

#include <benchmark/benchmark.h>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

using namespace benchsupport;

constexpr int64_t kTextTokens = 128;
constexpr int kStartOfTranscript = 50258;

// Leaves one token open at each step: <|0.00|>, 128 text tokens, <|30.00|>, then the end token.
class ScriptedWindow : public sonavex::LogitsFiltering {
public:
    ScriptedWindow(int64_t timeTokenBegin, int64_t endToken) : timeTokenBegin_(timeTokenBegin), endToken_(endToken) {}

    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>& tokens) override {
        // The prompt ends with the task token; what follows it is the window's own text.
        size_t promptEnd = 0;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i] == kStartOfTranscript) {
                promptEnd = i + 3;
            }
        }
        const int64_t step = int64_t(tokens.size()) - int64_t(promptEnd);
        int64_t open = endToken_;
        if (step <= 0) {
            open = timeTokenBegin_;
        } else if (step <= kTextTokens) {
            open = 400 + (step * 37) % 5000; // varied text, so no repetition check trips
        } else if (step == kTextTokens + 1) {
            open = timeTokenBegin_ + 1500;
        }
        auto values = logits->elements<ml::Float16>();
        const auto closed = std::bit_cast<ml::Float16>(uint16_t(0xFC00)); // minus infinity
        for (auto& value : values) {
            value = closed;
        }
        values[size_t(open)] = ml::Float16(0.0f);
        return logits;
    }

private:
    int64_t timeTokenBegin_;
    int64_t endToken_;
};

void BM_Transcribe(benchmark::State& state) {
    const std::string name = kPresets[state.range(0)];
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(name);
    const ml::WeightType weights = state.range(1) ? ml::WeightType::int8 : ml::WeightType::half;
    const sonavex::ModelComputeOptions compute;
    auto mel = std::make_shared<sonavex::FeatureExtractor>();
    mel->setModel(loadWritten(ml::MelSpectrogramModel::writer(preset.encoder.mels, 480000), "mel", name,
                              compute.melCompute));
    auto encoder = std::make_shared<sonavex::AudioEncoder>();
    encoder->setModel(loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1, weights), "encoder", name,
                                  compute.audioEncoderCompute));
    auto decoder = std::make_shared<sonavex::TextDecoder>();
    decoder->setModel(loadWritten(ml::TextDecoderModel::writer(preset.decoder, 2, weights), "decoder", name,
                                  compute.textDecoderCompute));
    const auto tokenizer = multilingualTokenizer();

    sonavex::SonavexConfig config;
    config.download = false;
    config.verbose = false;
    config.featureExtractor = mel;
    config.audioEncoder = encoder;
    config.textDecoder = decoder;
    config.logitsFilters = std::vector<std::shared_ptr<sonavex::LogitsFiltering>>{std::make_shared<ScriptedWindow>(
        tokenizer->specialTokens().timeTokenBegin, tokenizer->specialTokens().endToken)};
    const auto engine = sonavex::Sonavex::create(config);
    engine->setTokenizer(tokenizer);
    decoder->setIsModelMultilingual(true);
    engine->setModelState(orvane::ModelState::loaded);

    std::vector<float> audio(size_t(600 * 16000));
    for (size_t i = 0; i < audio.size(); ++i) {
        audio[i] = 0.3f * std::sin(float(i) * 0.05f) * std::sin(float(i) * 0.0003f);
    }
    sonavex::DecodingOptions options;
    options.language = "en";
    options.temperatureFallbackCount = 0;

    double total = 0, logmels = 0, encoding = 0, predictions = 0, loop = 0, seeking = 0, windows = 0, tokens = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto results = engine->transcribe(audio, options);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto timings = results.at(0)->timings();
        logmels += timings.logmels;
        encoding += timings.encoding;
        predictions += timings.decodingPredictions;
        loop += timings.decodingNonPrediction; // filters, sampling and cache copies of every step
        seeking += timings.decodingWindowing;
        windows += timings.totalEncodingRuns;
        tokens += timings.totalDecodingLoops;
    }
    const double runs = double(state.iterations());
    const double outside = total - logmels - encoding - predictions;
    state.counters["real-time factor"] = total / runs / 600.0;
    state.counters["seconds/run"] = total / runs;
    state.counters["windows/run"] = windows / runs;
    state.counters["tokens/run"] = tokens / runs;
    state.counters["mel share"] = logmels / total;
    state.counters["encoder share"] = encoding / total;
    state.counters["decoder model share"] = predictions / total;
    state.counters["loop share"] = loop / total;
    state.counters["seeking share"] = seeking / total;
    state.counters["outside models share"] = outside / total;
    state.SetLabel(name + ", " + ml::weightTypeName(weights) + " weights");
}

BENCHMARK(BM_Transcribe)
    ->Args({0, 0})
    ->Args({3, 0})
    ->Args({3, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::AddCustomContext("cpu", orvane::ProcessInfo::processor());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
