// Loading a long recording as the engine does: one hour of 48 kHz stereo AAC (M4A) to 16 kHz mono floats,
// next to decoding the same file alone, so the share of mixing and rate conversion shows as a ratio from
// the same run. The file is made once at start and removed at exit.
//
// Counters: seconds (wall), xRealTime (audio seconds per wall second), peakMB (the process's peak
// resident memory above what it held before the load), resultMB (the samples returned) and
// workingMB = peakMB − resultMB (what the load held besides its result: one piece and one read).

#include "BenchmarkSupport.h"
#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr double kSeconds = 3600;

/// The test recording: a second of two voices in noise, repeated (enough for the encoder to spend real
/// bits), written on first use and removed when the program ends.
const std::string& recordingPath() {
    static const benchsupport::ScratchFile recording("audioload", ".m4a", [](const std::string& path) {
        audio::AacFileWriter writer(path, audio::AacFileWriter::Container::m4a, kRate, kChannels);
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, 0.02f);
        std::vector<std::vector<float>> second(kChannels, std::vector<float>(kRate));
        for (int i = 0; i < kRate; ++i) {
            double t = double(i) / kRate;
            second[0][i] = float(0.3 * std::sin(2 * M_PI * 220 * t) * std::sin(M_PI * t)) + noise(random);
            second[1][i] = float(0.2 * std::sin(2 * M_PI * 330 * t + 1)) + noise(random);
        }
        const float* planes[kChannels] = {second[0].data(), second[1].data()};
        for (int s = 0; s < int(kSeconds); ++s) {
            writer.write(planes, kRate);
        }
        writer.finish();
    });
    return recording.path();
}

template <class Work> void measure(benchmark::State& state, Work work) {
    const std::string& path = recordingPath();
    double seconds = 0;
    double peak = 0;
    double result = 0;
    for (auto _ : state) {
        double before = benchsupport::residentMegabytes("VmRSS");
        benchsupport::resetPeakResident();
        auto start = std::chrono::steady_clock::now();
        std::size_t samples = work(path);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, benchsupport::peakResidentMegabytes() - before);
        result = samples * sizeof(float) / 1048576.0;
    }
    double perRun = seconds / double(state.iterations());
    state.counters["seconds"] = perRun;
    state.counters["xRealTime"] = kSeconds / perRun;
    state.counters["peakMB"] = peak;
    state.counters["resultMB"] = result;
    state.counters["workingMB"] = peak - result;
}

void BM_LoadAudioAsFloatArray(benchmark::State& state) {
    measure(state, [](const std::string& path) {
        auto samples = sonavex::AudioProcessor::loadAudioAsFloatArray(path);
        benchmark::DoNotOptimize(samples.data());
        return samples.size();
    });
}

void BM_DecodeOnly(benchmark::State& state) {
    measure(state, [](const std::string& path) {
        audio::AudioFileReader reader(path);
        auto buffer = audio::PcmBuffer::create(reader.processingFormat(), 1323000);
        while (reader.read(*buffer) > 0) {
            benchmark::DoNotOptimize(buffer->channel(0));
        }
        return std::size_t{0};
    });
}

} // namespace

BENCHMARK(BM_DecodeOnly)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_LoadAudioAsFloatArray)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();
