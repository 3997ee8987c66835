// Finding speech in long audio: energy voice activity and chunking over 30 minutes of 16 kHz samples,
// next to one copy of the same samples (the memory-bound floor, from the same run), and a
// 30-minute file read as a stream of speech chunks next to loading it whole and chunking it at once.
//
// Counters: xRealTime (audio seconds per wall second), xFloor (time over the copy's time: 1 would be as
// fast as copying the samples once), peakMB (the process's peak resident memory above what it held
// before the run). The file is written at start and removed at exit.

#include "BenchmarkSupport.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 16000;
constexpr double kSeconds = 1800;

/// Phrases of 1 to 6 s of voiced noise, pauses of 0.2 to 1.5 s between them.
const std::vector<float>& speechLike() {
    static const std::vector<float> samples = [] {
        std::vector<float> made;
        made.reserve(std::size_t(kSeconds * kRate));
        std::mt19937 random(11);
        std::uniform_real_distribution<double> phrase(1.0, 6.0);
        std::uniform_real_distribution<double> pause(0.2, 1.5);
        std::normal_distribution<float> voice(0.0f, 0.15f);
        while (made.size() < std::size_t(kSeconds * kRate)) {
            auto voiced = std::size_t(phrase(random) * kRate);
            for (std::size_t i = 0; i < voiced; ++i) {
                made.push_back(voice(random));
            }
            made.insert(made.end(), std::size_t(pause(random) * kRate), 0.001f);
        }
        made.resize(std::size_t(kSeconds * kRate));
        return made;
    }();
    return samples;
}

/// The same samples as a 16 kHz mono WAV (32-bit float), written on first use, removed at exit.
const std::string& recordingPath() {
    static const benchsupport::ScratchFile recording("voiceactivity", ".wav", [](const std::string& path) {
        const auto& samples = speechLike();
        auto le = [](std::uint32_t value, int bytes) {
            std::string out;
            for (int i = 0; i < bytes; ++i) {
                out += char((value >> (8 * i)) & 0xff);
            }
            return out;
        };
        const auto dataBytes = std::uint32_t(samples.size() * sizeof(float));
        std::ofstream file(path, std::ios::binary);
        file << "RIFF" << le(36 + dataBytes, 4) << "WAVEfmt " << le(16, 4) << le(3, 2) << le(1, 2)
             << le(kRate, 4) << le(kRate * 4, 4) << le(4, 2) << le(32, 2) << "data" << le(dataBytes, 4);
        file.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(dataBytes));
    });
    return recording.path();
}

/// Seconds of one copy of the samples (each read and written once), the best of five, once per program.
double floorSeconds() {
    static const double seconds = [] {
        const auto& samples = speechLike();
        std::vector<float> copy(samples.size());
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            auto start = std::chrono::steady_clock::now();
            std::memcpy(copy.data(), samples.data(), samples.size() * sizeof(float));
            benchmark::DoNotOptimize(copy.data());
            best = std::min(best,
                            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        return best;
    }();
    return seconds;
}

template <class Work> void measure(benchmark::State& state, Work work) {
    double seconds = 0;
    double peak = 0;
    for (auto _ : state) {
        benchsupport::resetPeakResident();
        const double before = benchsupport::peakResidentMegabytes();
        auto start = std::chrono::steady_clock::now();
        work();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, benchsupport::peakResidentMegabytes() - before);
    }
    const double perRun = seconds / double(state.iterations());
    state.counters["xRealTime"] = kSeconds / perRun;
    state.counters["xFloor"] = perRun / floorSeconds();
    state.counters["peakMB"] = peak;
}

void BM_ActiveChunks(benchmark::State& state) {
    const auto& samples = speechLike();
    auto vad = sonavex::EnergyVAD::engineDefault();
    measure(state, [&] { benchmark::DoNotOptimize(vad->calculateActiveChunks(samples).size()); });
}

void BM_ChunkAll(benchmark::State& state) {
    const auto& samples = speechLike();
    sonavex::VADAudioChunker chunker;
    measure(state, [&] { benchmark::DoNotOptimize(chunker.chunkAll(samples, 480000, std::nullopt).size()); });
}

void BM_IncrementalStream(benchmark::State& state) {
    const auto& path = recordingPath();
    measure(state, [&] {
        auto stream = sonavex::AudioProcessor::loadFileIncrementally(
            path, sonavex::AudioInputOptions::SumChannels{}, 120.0, 4, 480000, nullptr);
        while (auto chunk = stream.next()) {
            benchmark::DoNotOptimize(chunk->audioChunk.audioSamples.data());
            chunk->completionSignal();
        }
    });
}

void BM_WholeLoadThenChunkAll(benchmark::State& state) {
    const auto& path = recordingPath();
    sonavex::VADAudioChunker chunker;
    measure(state, [&] {
        auto samples = sonavex::AudioProcessor::loadAudioAsFloatArray(path);
        benchmark::DoNotOptimize(chunker.chunkAll(samples, 480000, std::nullopt).size());
    });
}

} // namespace

BENCHMARK(BM_ActiveChunks)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChunkAll)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IncrementalStream)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeLoadThenChunkAll)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
