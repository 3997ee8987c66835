// Live capture's own cost, apart from the sound server: taking one 0.1-s buffer in (append, energy
// against the last 20 buffers) while minutes of samples are held, and a reader's copy of the held
// samples next to a plain copy of the same vector in the same run (what the one lock adds).
//
// Counters: xRealTime (audio seconds taken in per wall second; capture needs 1), xPlainCopy (the
// reader's copy time over the plain copy's).

#include "Platform/Audio/Capture/FakeCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kRate = 16000;
constexpr std::size_t kBuffer = 1600;

std::vector<float> tone(std::size_t count) {
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = 0.5f * float(std::sin(2 * M_PI * 440.0 * double(i) / kRate));
    }
    return samples;
}

/// A processor already holding `minutes` of captured buffers.
std::shared_ptr<sonavex::AudioProcessor> holding(int minutes) {
    auto processor = std::make_shared<sonavex::AudioProcessor>(std::make_shared<audio::FakeCaptureSource>());
    const auto buffer = tone(kBuffer);
    for (std::size_t held = 0; held < std::size_t(minutes) * 60 * kRate; held += kBuffer) {
        processor->processBuffer(buffer);
    }
    return processor;
}

void BM_ProcessBuffer(benchmark::State& state) {
    auto processor = holding(int(state.range(0)));
    const auto buffer = tone(kBuffer);
    for (auto _ : state) {
        processor->processBuffer(buffer);
    }
    state.counters["xRealTime"] =
        benchmark::Counter(double(kBuffer) / kRate * double(state.iterations()), benchmark::Counter::kIsRate);
}

double secondsOf(const std::function<void()>& work, int repeats) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) {
        work();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReadSamples(benchmark::State& state) {
    auto processor = holding(int(state.range(0)));
    const auto plain = processor->audioSamples();
    double readerSeconds = 0;
    double plainSeconds = 0;
    for (auto _ : state) {
        readerSeconds += secondsOf([&] { benchmark::DoNotOptimize(processor->audioSamples()); }, 1);
        plainSeconds += secondsOf([&] { benchmark::DoNotOptimize(std::vector<float>(plain)); }, 1);
    }
    state.counters["xPlainCopy"] = readerSeconds / plainSeconds;
    state.counters["MB"] = double(plain.size() * sizeof(float)) / 1e6;
}

} // namespace

// 6,000 buffers: ten more minutes taken in on top of those held.
BENCHMARK(BM_ProcessBuffer)->Arg(1)->Arg(10)->Iterations(6000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadSamples)
    ->Arg(1)
    ->Arg(10)
    ->Arg(30)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
