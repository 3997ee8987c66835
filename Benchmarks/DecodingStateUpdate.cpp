// The decoder state's work per token at the shapes of the public model sizes: one step's key and value
// column copied into the caches, its alignment row, and the three mask writes the loop does after them.
// "of whole copy" is the time per step over the time copying both whole caches takes (what rebuilding
// them every step would cost at the least), both measured in the same run.

#include "BenchmarkSupport.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>

namespace {

using namespace benchsupport;

void BM_DecodingStateStep(benchmark::State& state) {
    const ml::TextDecoderShape shape = ml::WhisperPreset::named(kPresets[state.range(0)])->decoder;
    const int64_t channels = shape.layers * shape.width;
    const auto inputs = sonavex::DecodingInputs::make({50258}, channels, shape.cacheLength, shape.audioFrames);
    const auto keys = randomHalves({1, channels, 1, 1}, 1.0f, 1);
    const auto values = randomHalves({1, channels, 1, 1}, 1.0f, 2);
    const auto alignment = randomHalves({1, shape.audioFrames}, 1.0f, 3);
    sonavex::TextDecoder decoder;

    int64_t position = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        decoder.updateKVCache(*inputs->keyCache, *keys, *inputs->valueCache, *values, position);
        inputs->decoderKeyPaddingMask->setValue(position + 1, 0);
        inputs->kvCacheUpdateMask->setValue(position, 0);
        inputs->kvCacheUpdateMask->setValue(position + 1, 1);
        sonavex::TextDecoding::updateAlignmentWeights(*inputs->alignmentWeights, *alignment, position);
        position = position + 1 == shape.cacheLength - 1 ? 0 : position + 1;
    }
    const double perStep =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(state.iterations());

    // Both caches copied whole, as often as it takes to time it reliably.
    std::vector<std::byte> copy(inputs->keyCache->byteCount() * 2);
    const int rounds = 50;
    const auto copyStart = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        std::memcpy(copy.data(), inputs->keyCache->data(), inputs->keyCache->byteCount());
        std::memcpy(copy.data() + inputs->keyCache->byteCount(), inputs->valueCache->data(),
                    inputs->valueCache->byteCount());
        benchmark::DoNotOptimize(copy.data());
    }
    const double wholeCopy =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count() / rounds;
    state.counters["us/step"] = perStep * 1e6;
    state.counters["of whole copy"] = perStep / wholeCopy;
    state.SetLabel(std::string(kPresets[state.range(0)]) + ", E " + std::to_string(channels));
}

BENCHMARK(BM_DecodingStateStep)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

} // namespace
