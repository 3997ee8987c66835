// One decoding window of 223 steps (the end token suppressed, so the window runs to the token budget)
// through random-weight decoders of the tiny and turbo shapes, on the shared thread pool (one thread per
// core). The engine's own timings split each token: "model ms/token" is the prediction, "loop us/token"
// everything else the loop does (filters, sampling, cache copies, the progress hand-off), and "loop share"
// is the second over the first, both from the same run. The window's cross-attention is computed once by
// a first window outside the timing, as the encoder output stays the same.

#include "BenchmarkSupport.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/Text/LogitsFiltering.h"
#include "Sonavex/Core/Text/LogitsSuppression.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace benchsupport;

struct SuppressEnd : sonavex::LogitsFiltering {
    int64_t endToken;
    explicit SuppressEnd(int64_t endToken) : endToken(endToken) {}
    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>&) override {
        sonavex::suppressTokenIds(*logits, {endToken});
        return logits;
    }
};

std::shared_ptr<sonavex::WhisperTokenizer> tokenizerFor(int64_t vocabulary) {
    const auto folder = std::filesystem::path(VELMORA_TEST_DATA_DIR) / "tokenizers" /
                        (vocabulary == 51866 ? "whisper-large-v3" : "whisper-multilingual");
    return std::make_shared<sonavex::WhisperTokenizerWrapper>(
        orvane::AutoTokenizerWrapper::fromModelFolder(folder, orvane::HubApiWrapper(), true), folder);
}

void BM_DecodeWindow(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(state.range(0) == 0 ? "tiny" : "turbo");
    const ml::TextDecoderShape& shape = preset.decoder;
    sonavex::TextDecoder decoder;
    decoder.setModel(loadWritten(ml::TextDecoderModel::writer(shape, 2), "decoder", preset.name));
    const auto tokenizer = tokenizerFor(shape.vocabulary);
    decoder.setTokenizer(tokenizer);
    decoder.setIsModelMultilingual(true);
    decoder.setLogitsFilters(std::vector<std::shared_ptr<sonavex::LogitsFiltering>>{
        std::make_shared<SuppressEnd>(tokenizer->specialTokens().endToken)});
    const auto encoderOutput =
        sonavex::StageArray::make(randomHalves({1, shape.width, 1, shape.audioFrames}, 1.0f, 3));
    const sonavex::DecodingOptions options({.firstTokenLogProbThreshold = std::nullopt});
    const auto inputs = decoder.prepareDecoderInputs({});
    const sonavex::TranscriptionProgressCallback callback = [](const sonavex::TranscriptionProgress&) {
        return std::optional<bool>();
    };
    auto window = [&] {
        inputs->reset(sonavex::Constants::maxTokenContext);
        decoder.prefillDecoderInputs(*inputs, options);
        sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), tokenizer->specialTokens().endToken, options);
        return decoder.decodeText(encoderOutput, *inputs, sampler, options, callback);
    };
    window(); // cross-attention of this encoder output, page faults of the weights

    double steps = 0, predictions = 0, nonPrediction = 0, filtering = 0, sampling = 0, caching = 0,
           tokens = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const sonavex::DecodingResult result = window();
        steps += result.timings->totalDecodingLoops;
        predictions += result.timings->decodingPredictions;
        nonPrediction += result.timings->decodingNonPrediction;
        filtering += result.timings->decodingFiltering;
        sampling += result.timings->decodingSampling;
        caching += result.timings->decodingKvCaching;
        tokens += double(result.tokens.size());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    decoder.waitForProgress();
    state.counters["steps/window"] = steps / double(state.iterations());
    state.counters["tokens/s"] = steps / seconds;
    state.counters["model ms/token"] = 1e3 * predictions / steps;
    state.counters["loop us/token"] = 1e6 * nonPrediction / steps;
    state.counters["filters us"] = 1e6 * filtering / steps;
    state.counters["sampling us"] = 1e6 * sampling / steps;
    state.counters["cache us"] = 1e6 * caching / steps;
    state.counters["loop share %"] = 100.0 * nonPrediction / predictions;
    state.counters["threads"] = double(ml::kernels::ThreadPool::shared().threadCount());
    state.SetLabel(preset.name + ", " + std::to_string(int64_t(tokens / double(state.iterations()))) +
                   " tokens kept");
}

} // namespace

BENCHMARK(BM_DecodeWindow)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeWindow)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
