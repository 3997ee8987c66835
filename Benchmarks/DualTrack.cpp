// The two-track recorder's own work on the sound server's loop thread, apart from the server: one
// second of 48 kHz audio arriving as 20 ms fragments of a mono microphone and a stereo monitor, paired,
// split into the two tracks, measured and written. Written to /dev/null, so the file writes cost their
// system calls but no disk; next to it, in the same run, a plain copy of the same samples.
//
// Counter: xRealTime (audio seconds handled per wall second; the loop thread needs 1 and has other
// streams to serve). The two rows' times side by side give the recorder's cost over a plain copy.

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/TwoTrack/DualTrackRecorder.h"
#include "VelmoraCore/AudioCapture/TwoTrack/StreamPairing.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kFragment = kRate / 50;

// A speaker without inputs and a mono microphone.
struct BenchAudioSystem : velmora::AudioSystem {
    std::vector<velmora::AudioDeviceID> allDevices() override { return {1, 2}; }
    velmora::AudioDeviceID defaultOutputDevice() override { return 1; }
    velmora::AudioDeviceID defaultInputDevice() override { return 2; }
    std::string deviceUID(velmora::AudioDeviceID device) override { return device == 1 ? "speaker" : "mic"; }
    std::string deviceName(velmora::AudioDeviceID device) override { return deviceUID(device); }
    double nominalSampleRate(velmora::AudioDeviceID) override { return kRate; }
    uint32_t transportType(velmora::AudioDeviceID) override { return 0; }
    int channelCount(velmora::AudioDeviceID device, velmora::AudioScope scope) override {
        return scope == velmora::AudioScope::output ? (device == 1 ? 2 : 0) : (device == 2 ? 1 : 0);
    }
    void setDefaultOutputDevice(velmora::AudioDeviceID) override {}
    bool canRecordSystemAudio() override { return true; }
};

// The device as the sound server's would be: its fragments go through a StreamPairing to the handler.
struct BenchHardware : velmora::TapHardware {
    velmora::AggregateDevice::InputHandler handler;

    struct Tap : velmora::ProcessTap {
        std::string uid() override { return "tap"; }
        velmora::TapFormat format() override { return {2, double(kRate)}; }
    };
    struct Aggregate : velmora::AggregateDevice {
        explicit Aggregate(BenchHardware& owner) : owner(owner) {}
        int inputChannelCount() override { return 3; }
        double nominalSampleRate() override { return kRate; }
        void start(InputHandler handler) override { owner.handler = std::move(handler); }
        void stop() override { owner.handler = {}; }
        bool isRunning() override { return bool(owner.handler); }
        std::exception_ptr endError() override { return nullptr; }
        BenchHardware& owner;
    };

    std::unique_ptr<velmora::ProcessTap> createProcessTap(const velmora::TapDescription&) override {
        return std::make_unique<Tap>();
    }
    std::unique_ptr<velmora::AggregateDevice>
    createAggregateDevice(const velmora::AggregateDescription&) override {
        return std::make_unique<Aggregate>(*this);
    }
};

std::vector<float> sine(int frames, int channels, double frequency) {
    std::vector<float> samples;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            samples.push_back(0.5f * float(std::sin(2 * M_PI * frequency * f / kRate)));
        }
    }
    return samples;
}

// One iteration is one second of audio.
void countRealTime(benchmark::State& state) {
    state.counters["xRealTime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_RecorderOneSecond(benchmark::State& state) {
    BenchAudioSystem system;
    BenchHardware hardware;
    velmora::DualTrackRecorder recorder(system, hardware);
    recorder.start("/dev/null", "/dev/null");
    velmora::StreamPairing pairing({1, 2}, kRate / 10,
                                   [&](velmora::InputBufferList buffers) { hardware.handler(buffers); });
    const auto mic = sine(kFragment, 1, 440);
    const auto tap = sine(kFragment, 2, 1000);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRate / kFragment; ++i) {
            pairing.push(0, mic.data(), mic.size() * sizeof(float));
            pairing.push(1, tap.data(), tap.size() * sizeof(float));
        }
        state.SetIterationTime(secondsSince(start));
    }
    countRealTime(state);
    recorder.stop();
    if (recorder.framesWritten() != int64_t(state.iterations()) * kRate || recorder.writeFailures() != 0) {
        state.SkipWithError("the recorder did not write every frame");
    }
}

// The same samples copied once in and once out, as the least any handling must do.
void BM_PlainCopyOneSecond(benchmark::State& state) {
    const auto mic = sine(kRate, 1, 440);
    const auto tap = sine(kRate, 2, 1000);
    std::vector<float> queued(mic.size() + tap.size());
    std::vector<float> out(queued.size());
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(queued.data(), mic.data(), mic.size() * sizeof(float));
        std::memcpy(queued.data() + mic.size(), tap.data(), tap.size() * sizeof(float));
        std::memcpy(out.data(), queued.data(), queued.size() * sizeof(float));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(secondsSince(start));
    }
    countRealTime(state);
}

BENCHMARK(BM_RecorderOneSecond)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainCopyOneSecond)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
