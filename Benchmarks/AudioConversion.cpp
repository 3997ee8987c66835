// Converting and mixing a recording of VELMORA_BENCH_MINUTES minutes (60 when unset): the microphone's
// mono 48 kHz CAF and the system's stereo 48 kHz fragmented MP4 (as the capture writes them), converted
// to M4A each, then mixed. Per step: seconds, times real time, and the
// peak resident memory of a process that does only that step (each runs in a child process of its
// own) next to that of a child that does nothing, so a reader sees that memory stays flat whatever
// the length. The files are made at start and removed at the end.

#include "BenchmarkSupport.h"
#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/CafWriter.h"
#include "Platform/Audio/Files/StreamingAacWriter.h"
#include "RecordingTracks.h"
#include "VelmoraCore/AudioCapture/AudioConverter.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using benchsupport::cpuModelName;
using benchsupport::writeMicrophoneTrack;
using benchsupport::writeSystemTrack;
constexpr int kRate = benchsupport::kCaptureRate;

double recordingSeconds() {
    const char* minutes = std::getenv("VELMORA_BENCH_MINUTES");
    return 60.0 * (minutes != nullptr ? std::max(1.0, std::atof(minutes)) : 60.0);
}

struct Recording {
    fs::path folder;
    fs::path mic, system, micM4a, systemM4a, mix;

    Recording() {
        char pattern[] = "/tmp/velmora-bench-conversion.XXXXXX";
        folder = mkdtemp(pattern);
        mic = folder / "mic.caf";
        system = folder / "system_capture.mp4";
        micM4a = folder / "mic.m4a";
        systemM4a = folder / "system.m4a";
        mix = folder / "recording.m4a";
    }
    ~Recording() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Recording& recording() {
    static Recording shared;
    return shared;
}

// Runs `step` in a child process; returns its wall seconds and its peak resident memory in MB.
std::pair<double, double> inChild(const std::function<void()>& step) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        int status = 0;
        double seconds = 0;
        try {
            const auto start = std::chrono::steady_clock::now();
            step();
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } catch (const std::exception& error) {
            fprintf(stderr, "benchmark step failed: %s\n", error.what());
            status = 1;
        }
        (void)!write(pipeFds[1], &seconds, sizeof seconds);
        _exit(status);
    }
    close(pipeFds[1]);
    double seconds = 0;
    (void)!read(pipeFds[0], &seconds, sizeof seconds);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("benchmark step failed");
    }
    return {seconds, double(usage.ru_maxrss) / 1024.0};
}

void ensureInputs() {
    auto& files = recording();
    if (!fs::exists(files.mic)) {
        inChild([&] { writeMicrophoneTrack(files.mic, recordingSeconds()); });
    }
    if (!fs::exists(files.system)) {
        inChild([&] {
            audio::AacFileWriter writer(files.system, audio::AacFileWriter::Container::fragmentedMp4, kRate, 2);
            writeSystemTrack(writer, recordingSeconds());
            writer.finish();
        });
    }
}

void measure(benchmark::State& state, const std::function<void()>& step) {
    const double baseline = inChild([] {}).second;
    double peak = 0;
    for (auto _ : state) {
        const auto [seconds, megabytes] = inChild(step);
        state.SetIterationTime(seconds);
        peak = std::max(peak, megabytes);
    }
    state.counters["xRealTime"] =
        benchmark::Counter(recordingSeconds(), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peakMB"] = peak;
    state.counters["idleChildMB"] = baseline;
    state.counters["audioMinutes"] = recordingSeconds() / 60;
}

// Five minutes through the streaming writer from a producer that runs as fast as it can: the encoding
// thread's throughput. (Its memory is the backlog such a producer builds, which a real-time capture
// never does, so it is not reported.)
void BM_CaptureSystemTrack(benchmark::State& state) {
    const auto path = recording().folder / "capture-run.mp4";
    constexpr double kSeconds = 300;
    for (auto _ : state) {
        const double seconds = inChild([&] {
            audio::StreamingAacWriter writer(path, kRate, 2);
            writeSystemTrack(writer, kSeconds);
            writer.close();
        }).first;
        state.SetIterationTime(seconds);
    }
    state.counters["xRealTime"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["audioMinutes"] = kSeconds / 60;
    fs::remove(path);
}

void BM_ConvertMicrophone(benchmark::State& state) {
    ensureInputs();
    measure(state, [] { velmora::AudioConverter::convertToM4A(recording().mic, recording().micM4a); });
}

void BM_ConvertSystem(benchmark::State& state) {
    ensureInputs();
    measure(state, [] { velmora::AudioConverter::convertToM4A(recording().system, recording().systemM4a); });
}

void BM_MixTracks(benchmark::State& state) {
    ensureInputs();
    auto& files = recording();
    if (!fs::exists(files.micM4a) || !fs::exists(files.systemM4a)) {
        inChild([&] {
            velmora::AudioConverter::convertToM4A(files.mic, files.micM4a);
            velmora::AudioConverter::convertToM4A(files.system, files.systemM4a);
        });
    }
    measure(state, [] { velmora::AudioConverter::mix(recording().micM4a, recording().systemM4a, recording().mix); });
}

const bool context = [] {
    benchmark::AddCustomContext("cpu_model", cpuModelName());
    return true;
}();

BENCHMARK(BM_CaptureSystemTrack)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ConvertMicrophone)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ConvertSystem)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_MixTracks)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
