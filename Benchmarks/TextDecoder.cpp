// One decoder step (one token) at cache positions 1, 100 and 220 at the shapes of the public model sizes,
// random weights written to a temporary folder at start. The window's cross-attention keys and values are
// computed before timing (once per window in real use). GB/s is the memory traffic the step implies:
// the weights (half, or 8-bit with their scales), the window's cross-attention keys and values, and the
// cache columns it reads;
// "of floor" is the time per token over the time the machine's copy bandwidth (measured in the same run)
// needs for those bytes. "of read floor" compares with reading a working set of the same size on all
// threads again and again (same run): where the bytes fit the last-level cache in part (the smaller
// models), that is the floor the step can reach, and the copy floor is not.

#include "BenchmarkSupport.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace benchsupport;

void BM_TextDecoderToken(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(kPresets[state.range(0)]);
    const ml::TextDecoderShape& s = preset.decoder;
    const int64_t position = state.range(1);
    const ml::WeightType weightType = state.range(2) ? ml::WeightType::int8 : ml::WeightType::half;
    auto model = loadWritten(ml::TextDecoderModel::writer(s, 2, weightType), "decoder", preset.name);

    const int64_t e = s.layers * s.width;
    ml::DictionaryFeatureProvider input;
    auto ids =
        std::make_shared<ml::MultiArray>(ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, 50258));
    auto length = std::make_shared<ml::MultiArray>(
        ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, double(position)));
    auto update = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, s.cacheLength},
                                                   ml::MultiArrayDataType::Int32);
    update->setValue(position, 1);
    auto padding = std::make_shared<ml::MultiArray>(
        ml::MultiArray::filled({1, s.cacheLength}, ml::MultiArrayDataType::Float16, -10000.0));
    for (int64_t i = 0; i <= position; ++i)
        padding->setValue(i, 0.0);
    input.set("input_ids", ml::FeatureValue(ids));
    input.set("cache_length", ml::FeatureValue(length));
    input.set("key_cache", ml::FeatureValue(randomHalves({1, e, 1, s.cacheLength}, 1.0f, 1)));
    input.set("value_cache", ml::FeatureValue(randomHalves({1, e, 1, s.cacheLength}, 1.0f, 2)));
    input.set("kv_cache_update_mask", ml::FeatureValue(update));
    input.set("encoder_output_embeds",
              ml::FeatureValue(randomHalves({1, s.width, 1, s.audioFrames}, 1.0f, 3)));
    input.set("decoder_key_padding_mask", ml::FeatureValue(padding));
    model->predict(input); // the window's cross-attention keys and values
    const double d = double(s.width), layers = double(s.layers);
    // Half weights take two bytes each; 8-bit ones one, and a float scale per row.
    const double rows = layers * 14 * d + double(s.vocabulary);
    const double weights = weightType == ml::WeightType::int8
                               ? (layers * 14 * d * d + double(s.vocabulary) * d) + 4 * rows
                               : 2.0 * (layers * 14 * d * d + double(s.vocabulary) * d);
    const double cross = layers * 2 * double(s.audioFrames) * d * 2;
    const double cache = layers * 2 * d * double(position) * 2;
    const double bytes = weights + cross + cache;
    const double readBefore = measuredReadGigabytesPerSecond(size_t(bytes));
    const double copyBefore = measuredCopyGigabytesPerSecond();
    const auto start = std::chrono::steady_clock::now();
    timePredictions(state, *model, input);
    const double perToken =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(state.iterations());
    const double copy = std::max(copyBefore, measuredCopyGigabytesPerSecond());
    const double read = std::max(readBefore, measuredReadGigabytesPerSecond(size_t(bytes)));

    state.counters["GB/s"] = benchmark::Counter(bytes * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB/token"] = bytes * 1e-6;
    state.counters["copy GB/s"] = copy;
    state.counters["of floor"] = perToken / (bytes * 1e-9 / copy);
    state.counters["read GB/s"] = read;
    state.counters["of read floor"] = perToken / (bytes * 1e-9 / read);
    state.SetLabel(preset.name + " at position " + std::to_string(position) + ", " +
                   ml::weightTypeName(weightType) + " weights");
}

} // namespace

BENCHMARK(BM_TextDecoderToken)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 100, 220}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
