// Removing microphone bleed from a long recording: 30 minutes of 16 kHz microphone and system audio cut
// into 25-second segments (the longest a transcript segment gets), each compared with the system audio
// at the recording session's 41 shifts (±0.3 s), next to the same segments compared at one shift only
// (maximum shift 0), so the cost of the shifts shows as a ratio from the same run.
//
// Counters: xRealTime (recording seconds filtered per wall second), segments (per iteration).

#include "VelmoraCore/Transcription/MicBleedFilter.h"

#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 16000;
constexpr double kSeconds = 1800;
constexpr double kSegmentSeconds = 25;

struct Recording {
    std::vector<float> mic;
    std::vector<float> sys;
    std::vector<velmora::TranscriptSegment> segments;
};

// The system track is noise; the microphone hears it 15 ms late under noise of its own, so no segment is
// dropped early and every shift is computed.
const Recording& recording() {
    static const Recording made = [] {
        Recording r;
        const auto count = static_cast<std::size_t>(kSeconds * kRate);
        std::mt19937 random(3);
        std::normal_distribution<float> noise(0.0f, 0.1f);
        r.sys.resize(count);
        r.mic.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            r.sys[i] = noise(random);
            r.mic[i] = (i >= 240 ? 0.2f * r.sys[i - 240] : 0.0f) + noise(random);
        }
        for (double start = 0; start + kSegmentSeconds <= kSeconds; start += kSegmentSeconds) {
            r.segments.push_back({start, start + kSegmentSeconds, "segment"});
        }
        return r;
    }();
    return made;
}

void BM_RemoveBleed(benchmark::State& state) {
    const Recording& r = recording();
    const float maxLagSeconds = static_cast<float>(state.range(0)) / 1000.0f;
    std::size_t kept = 0;
    for (auto _ : state) {
        const auto result = velmora::MicBleedFilter::filter(r.segments, r.mic, r.sys, 0.5f, maxLagSeconds);
        kept = result.size();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["xRealTime"] =
        benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["segments"] = static_cast<double>(r.segments.size());
    state.counters["kept"] = static_cast<double>(kept);
}

} // namespace

// Argument: the largest shift in milliseconds (300: the session's 41 shifts; 0: one shift).
BENCHMARK(BM_RemoveBleed)->Arg(300)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
