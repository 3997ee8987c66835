// One 30-second window through the audio encoder at the shapes of the public model sizes, with random
// weights written to a temporary folder at start, for cpuOnly (float32 products) and cpuAndNeuralEngine
// (reduced precision where the processor has it): seconds per window, effective GFLOP/s, that figure as a
// share of the machine's peak for the precision used (measured in the same run; also per CPU second, for a
// machine shared with other work), and the share of time
// in matrix products (with their fused bias/GELU), attention and everything else. A last case loads the
// turbo-shaped mel, encoder and decoder (half and 8-bit weights), runs one window through the mel and
// encoder models and the decoder's first step, and reports the peak resident memory they add. The
// encoder's attention alone (turbo's shape, a few heads) runs on one thread, against one core's peak
// measured in the same run.

#include "BenchmarkSupport.h"
#include "OrvaneCore/Models/ModelPrediction.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Kernels/Attention/Attention.h"
#include "Platform/ML/Kernels/Packed/BfloatRoad.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Whisper/WhisperPreset.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

namespace {

using namespace benchsupport;

const ml::ComputeUnits kUnits[] = {ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine};

double encoderFlops(const ml::AudioEncoderShape& s) {
    const double t = double(s.frames), d = double(s.width);
    const double convs = 2.0 * 3 * double(s.mels) * d * 2 * t + 2.0 * 3 * d * d * t;
    const double perLayer = 2.0 * t * d * d * (3 + 1 + 4 + 4) + 2.0 * 2 * t * t * d;
    return convs + double(s.layers) * perLayer;
}

void BM_AudioEncoderWindow(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(kPresets[state.range(0)]);
    const ml::ComputeUnits units = kUnits[state.range(1)];
    auto model = loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1), "encoder", preset.name, units);
    ml::DictionaryFeatureProvider input;
    input.set("melspectrogram_features",
              ml::FeatureValue(randomHalves({1, preset.encoder.mels, 1, 3000}, 1.0f, 3)));

    auto& profile = ml::AudioEncoderModel::threadProfile();
    model->predict(input); // warm: first-touch of scratch memory and the pool
    const ml::kernels::BfloatRoad road =
        units == ml::ComputeUnits::cpuOnly ? ml::kernels::BfloatRoad::none : ml::kernels::bestBfloatRoad();
    const Peak peakBefore = measuredPeak(road);
    profile = {};
    const double cpuStart = processCpuSeconds();
    timePredictions(state, *model, input);
    const double cpuSeconds = (processCpuSeconds() - cpuStart) / double(state.iterations());
    const Peak peakAfter = measuredPeak(road);
    const double peak = std::max(peakBefore.gflops, peakAfter.gflops);
    const double corePeak = std::max(peakBefore.gflopsPerCore, peakAfter.gflopsPerCore);
    const double total = profile.products + profile.attention + profile.other;
    const double seconds = total / double(state.iterations());
    state.counters["GFLOP/s"] = benchmark::Counter(encoderFlops(preset.encoder) * 1e-9,
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak GFLOP/s"] = peak;
    state.counters["of peak%"] = 100.0 * encoderFlops(preset.encoder) * 1e-9 / seconds / peak;
    // The same per CPU second against one thread's share of the peak: on a machine shared with other work,
    // what the encoder makes of the time it actually gets.
    state.counters["of peak per core%"] = 100.0 * encoderFlops(preset.encoder) * 1e-9 / cpuSeconds / corePeak;
    state.counters["products%"] = 100.0 * profile.products / total;
    state.counters["attention%"] = 100.0 * profile.attention / total;
    state.counters["other%"] = 100.0 * profile.other / total;
    state.SetLabel(preset.name + ", " + orvane::description(units) + ", " +
                   std::to_string(ml::kernels::ThreadPool::shared().threadCount()) + " threads" +
                   (road == ml::kernels::BfloatRoad::none ? std::string(" (float32)")
                                                          : " (bfloat16, " + std::string(bfloatRoadName(road)) + ")"));
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// One core's peak: the peak loop on the calling thread alone, in GFLOP per CPU second of that thread.
double onePeakPerCpuSecond(ml::kernels::BfloatRoad road) {
    float sink = 0;
    const double cpuStart = threadCpuSeconds();
    const double flops = peakLoop(road, peakRounds(road), &sink);
    benchmark::DoNotOptimize(sink);
    return flops * 1e-9 / (threadCpuSeconds() - cpuStart);
}

// The encoder's self-attention (queries = keys = 1500, head size 64) for a few heads on one thread:
// GFLOP per CPU second and that as a share of one core's peak measured right before and after.
void BM_EncoderAttentionOneThread(benchmark::State& state) {
    const size_t tokens = size_t(state.range(0)), headSize = size_t(state.range(1)), heads = size_t(state.range(2));
    const bool reduced = state.range(3) != 0;
    const ml::kernels::BfloatRoad road = reduced ? ml::kernels::bestBfloatRoad() : ml::kernels::BfloatRoad::none;
    const size_t width = heads * headSize;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> q(tokens * width), k(tokens * width), v(tokens * width), out(tokens * width);
    for (auto* m : {&q, &k, &v})
        for (float& x : *m)
            x = value(random);
    ml::kernels::AttentionArgs args{q.data(), width, k.data(), width, v.data(), width, out.data(), width,
                                    tokens,   tokens, heads,    headSize};
    args.precision = reduced ? ml::kernels::Precision::bfloat16 : ml::kernels::Precision::float32;
    auto& pool = ml::kernels::ThreadPool::shared();
    // Called from inside a pool job, attention runs on that thread alone (the other indices do nothing);
    // its CPU time is that thread's, without the waiting of the others.
    double cpuSeconds = 0;
    auto once = [&] {
        pool.parallelFor(pool.threadCount(), [&](size_t i) {
            if (i != 0)
                return;
            const double start = threadCpuSeconds();
            attention(args);
            cpuSeconds += threadCpuSeconds() - start;
        });
    };
    once();
    const double peakBefore = onePeakPerCpuSecond(road);
    cpuSeconds = 0;
    for (auto _ : state) {
        once();
        benchmark::DoNotOptimize(out.data());
    }
    cpuSeconds /= double(state.iterations());
    const double peak = std::max(peakBefore, onePeakPerCpuSecond(road));
    const double gflop = 4.0 * double(tokens) * double(tokens) * double(width) * 1e-9;
    state.counters["GFLOP per CPU s"] = gflop / cpuSeconds;
    state.counters["core peak"] = peak;
    state.counters["of core peak%"] = 100.0 * gflop / cpuSeconds / peak;
    state.SetLabel(cpuModelName() + ", " + std::to_string(heads) + " heads, one thread" +
                   (road == ml::kernels::BfloatRoad::none ? std::string(" (float32)")
                                                          : " (bfloat16, " + std::string(bfloatRoadName(road)) + ")"));
}

// The models a turbo-sized transcription holds, and one window through them (up to the first token).
void BM_TurboResidentMemory(benchmark::State& state) {
    const ml::ComputeUnits units = kUnits[state.range(0)];
    const ml::WeightType weights = state.range(1) ? ml::WeightType::int8 : ml::WeightType::half;
    const ml::WhisperPreset preset = *ml::WhisperPreset::named("turbo");
    const auto directory =
        std::filesystem::temp_directory_path() / ("velmora-bench-resident-" + std::to_string(::getpid()));
    ml::MelSpectrogramModel::writer(preset.encoder.mels).writeCompiled(directory / "MelSpectrogram.mlmodelc");
    ml::AudioEncoderModel::writer(preset.encoder, 1, weights)
        .writeCompiled(directory / "AudioEncoder.mlmodelc");
    ml::TextDecoderModel::writer(preset.decoder, 2, weights)
        .writeCompiled(directory / "TextDecoder.mlmodelc");
    for (auto _ : state) {
        malloc_trim(0);
        const double before = residentMegabytes();
        resetPeakResident();
        ml::ModelConfiguration configuration;
        configuration.computeUnits = units;
        auto mel = ml::Model::load(directory / "MelSpectrogram.mlmodelc", configuration);
        auto encoder = ml::Model::load(directory / "AudioEncoder.mlmodelc", configuration);
        state.counters["after encoder load MB"] = residentMegabytes() - before;
        auto decoder = ml::Model::load(directory / "TextDecoder.mlmodelc", configuration);
        state.counters["after decoder load MB"] = residentMegabytes() - before;
        state.counters["loading peak MB"] = residentMegabytes("VmHWM") - before;
        auto audio =
            std::make_shared<ml::MultiArray>(std::vector<int64_t>{480000}, ml::MultiArrayDataType::Float32);
        ml::DictionaryFeatureProvider melInput;
        melInput.set("audio", ml::FeatureValue(audio));
        const auto features = mel->predict(melInput)->multiArray("melspectrogram_features");
        ml::DictionaryFeatureProvider encoderInput;
        encoderInput.set("melspectrogram_features", ml::FeatureValue(features));
        const auto embeds = encoder->predict(encoderInput)->multiArray("encoder_output_embeds");
        // The window's first decoder step (its cross-attention keys and values are made here).
        const ml::TextDecoderShape& s = preset.decoder;
        const int64_t e = s.layers * s.width;
        auto padding = std::make_shared<ml::MultiArray>(
            ml::MultiArray::filled({1, s.cacheLength}, ml::MultiArrayDataType::Float16, -10000.0));
        padding->setValue(0, 0.0);
        auto update = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, s.cacheLength},
                                                       ml::MultiArrayDataType::Int32);
        update->setValue(0, 1);
        auto cache = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, e, 1, s.cacheLength},
                                                      ml::MultiArrayDataType::Float16);
        ml::DictionaryFeatureProvider decoderInput;
        decoderInput.set("input_ids", ml::FeatureValue(std::make_shared<ml::MultiArray>(
                                          ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, 50258))));
        decoderInput.set("cache_length", ml::FeatureValue(std::make_shared<ml::MultiArray>(
                                             ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, 0))));
        decoderInput.set("key_cache", ml::FeatureValue(cache));
        decoderInput.set("value_cache", ml::FeatureValue(cache));
        decoderInput.set("kv_cache_update_mask", ml::FeatureValue(update));
        decoderInput.set("encoder_output_embeds", ml::FeatureValue(embeds));
        decoderInput.set("decoder_key_padding_mask", ml::FeatureValue(padding));
        benchmark::DoNotOptimize(decoder->predict(decoderInput));
        // What the models and the window add to the process (the benchmark's own buffers are not theirs).
        state.counters["peak resident MB"] = residentMegabytes("VmHWM") - before;
        state.counters["before load MB"] = before;
    }
    std::filesystem::remove_all(directory);
    state.SetLabel(std::string("turbo mel, encoder and decoder, ") + orvane::description(units) + ", " +
                   ml::weightTypeName(weights) + " weights");
}

} // namespace

BENCHMARK(BM_AudioEncoderWindow)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_EncoderAttentionOneThread)
    ->Args({1500, 64, 2, 0})
    ->Args({1500, 64, 2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TurboResidentMemory)->ArgsProduct({{0, 1}, {0, 1}})->Iterations(1)->Unit(benchmark::kSecond);
