// One stopped recording of VELMORA_BENCH_MINUTES minutes (10 when unset) through the recording session's
// post-processing, as the application runs it: the real conversions, bleed filter, transcript writes and
// mix, and a transcription of each track whose cost has the shape of the model's (per padded voiced chunk:
// the mel spectrogram, one audio-encoder window and a decoder step per token, with random weights of the
// tiny or the turbo size; the track is loaded and chunked by the transcriber's own planner). Seconds per
// step, and the main thread's longest stall while the job runs: the longest single main-thread task and
// the longest wait of a probe task posted every millisecond from another thread (target under 16 ms), next
// to that wait over five seconds with nothing running, measured just before.
// The raw tracks are made at start and removed at the end.

#include "BenchmarkSupport.h"
#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "RecordingTracks.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Recording/RecordingSession.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Transcription/Transcriber.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace benchsupport;
using Clock = std::chrono::steady_clock;

double recordingSeconds() {
    const char* minutes = std::getenv("VELMORA_BENCH_MINUTES");
    return 60.0 * (minutes != nullptr ? std::max(0.5, std::atof(minutes)) : 10.0);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// The raw tracks, made once per run.
struct RawTracks {
    fs::path folder;
    fs::path mic;
    fs::path system;
    RawTracks() {
        char pattern[] = "/tmp/velmora-bench-session.XXXXXX";
        folder = mkdtemp(pattern);
        mic = folder / "raw-mic.caf";
        system = folder / "raw-system.mp4";
        writeMicrophoneTrack(mic, recordingSeconds());
        audio::AacFileWriter writer(system, audio::AacFileWriter::Container::fragmentedMp4, kCaptureRate, 2);
        writeSystemTrack(writer, recordingSeconds());
        writer.finish();
    }
    ~RawTracks() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

RawTracks& rawTracks() {
    static RawTracks tracks;
    return tracks;
}

/// Step durations, written from the job's thread.
struct StepTimes {
    std::mutex mutex;
    std::map<std::string, double> seconds;
    std::map<std::string, Clock::time_point> ends;
    std::map<std::string, Clock::time_point> starts;
    int chunks = 0;

    void record(const std::string& step, Clock::time_point start) {
        std::lock_guard lock(mutex);
        starts[step] = start;
        ends[step] = Clock::now();
        seconds[step] = std::chrono::duration<double>(ends[step] - start).count();
    }
};

/// Recorders that "record" by linking the prepared raw tracks into the session folder.
struct LinkedMicrophone final : velmora::RecordingMicrophone {
    void setPreferredDeviceUID(std::optional<std::string>) override {}
    void start(const fs::path& file) override { fs::create_hard_link(rawTracks().mic, file); }
    void stop() override {}
    float level() const override { return 0.1f; }
    std::int64_t writeFailureCount() const override { return 0; }
    std::exception_ptr lastWriteError() const override { return nullptr; }
    bool inputEnded() const override { return false; }
};

struct LinkedSystemAudio final : velmora::RecordingSystemAudio {
    void start(const fs::path& file) override { fs::create_hard_link(rawTracks().system, file); }
    void stop() override {}
};

/// The model's cost per chunk: mel, one encoder window, and `tokens` decoder steps.
class ModelShapedTranscriber final : public velmora::TrackTranscriber {
public:
    ModelShapedTranscriber(const ml::WhisperPreset& preset, StepTimes& times) : preset_(preset), times_(times) {
        mel_ = loadWritten(ml::MelSpectrogramModel::writer(preset.encoder.mels), "mel", preset.name);
        encoder_ = loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1), "encoder", preset.name);
        decoder_ = loadWritten(ml::TextDecoderModel::writer(preset.decoder, 2), "decoder", preset.name);
        const auto& s = preset.decoder;
        const int64_t e = s.layers * s.width;
        keyCache_ = randomHalves({1, e, 1, s.cacheLength}, 1.0f, 1);
        valueCache_ = randomHalves({1, e, 1, s.cacheLength}, 1.0f, 2);
    }

    std::vector<velmora::TranscriptSegment> transcribe(const std::string& audioPath, float energyThreshold,
                                                       const SegmentCallback& onSegment,
                                                       std::stop_token stop) const override {
        const auto start = Clock::now();
        std::ostringstream debugLines;
        const auto track = velmora::Transcriber::planTrack(audioPath, energyThreshold, debugLines);
        std::vector<velmora::TranscriptSegment> segments;
        for (const auto& chunk : track.chunks) {
            if (stop.stop_requested()) {
                break;
            }
            window(std::span<const float>(track.samples).subspan(std::size_t(chunk.start),
                                                                 std::size_t(chunk.end - chunk.start)));
            segments.push_back({double(chunk.start) / 16000, double(chunk.end) / 16000, "これはテストの発話です。"});
            onSegment(segments.back());
        }
        times_.record(fs::path(audioPath).filename() == "mic.m4a" ? "transcribeMe" : "transcribeOther", start);
        std::lock_guard lock(times_.mutex);
        times_.chunks += int(track.chunks.size());
        return segments;
    }

private:
    // About four tokens a second of speech, within the decoder's 224 positions.
    static int64_t tokensFor(std::size_t samples) {
        return std::min<int64_t>(220, std::max<int64_t>(1, int64_t(samples) * 4 / 16000));
    }

    void window(std::span<const float> samples) const {
        auto audio = std::make_shared<ml::MultiArray>(std::vector<int64_t>{480000}, ml::MultiArrayDataType::Float32);
        auto values = audio->elements<float>();
        std::copy_n(samples.begin(), std::min<std::size_t>(samples.size(), values.size()), values.begin());
        ml::DictionaryFeatureProvider melInput;
        melInput.set("audio", ml::FeatureValue(audio));
        const auto features = mel_->predict(melInput)->multiArray("melspectrogram_features");
        ml::DictionaryFeatureProvider encoderInput;
        encoderInput.set("melspectrogram_features", ml::FeatureValue(features));
        const auto embeds = encoder_->predict(encoderInput)->multiArray("encoder_output_embeds");

        const auto& s = preset_.decoder;
        ml::DictionaryFeatureProvider input;
        auto ids = std::make_shared<ml::MultiArray>(ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, 50258));
        auto length = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1}, ml::MultiArrayDataType::Int32);
        auto update = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, s.cacheLength}, ml::MultiArrayDataType::Int32);
        auto padding = std::make_shared<ml::MultiArray>(
            ml::MultiArray::filled({1, s.cacheLength}, ml::MultiArrayDataType::Float16, -10000.0));
        input.set("input_ids", ml::FeatureValue(ids));
        input.set("cache_length", ml::FeatureValue(length));
        input.set("key_cache", ml::FeatureValue(keyCache_));
        input.set("value_cache", ml::FeatureValue(valueCache_));
        input.set("kv_cache_update_mask", ml::FeatureValue(update));
        input.set("encoder_output_embeds", ml::FeatureValue(embeds));
        input.set("decoder_key_padding_mask", ml::FeatureValue(padding));
        const int64_t tokens = tokensFor(samples.size());
        for (int64_t position = 0; position < tokens; ++position) {
            length->setValue(0, double(position));
            if (position > 0) {
                update->setValue(position - 1, 0);
            }
            update->setValue(position, 1);
            padding->setValue(position, 0);
            benchmark::DoNotOptimize(decoder_->predict(input));
        }
    }

    const ml::WhisperPreset preset_;
    StepTimes& times_;
    std::shared_ptr<ml::Model> mel_, encoder_, decoder_;
    std::shared_ptr<ml::MultiArray> keyCache_, valueCache_;
};

class ModelShapedTranscription final : public velmora::SessionTranscription {
public:
    ModelShapedTranscription(ml::WhisperPreset preset, StepTimes& times) : preset_(std::move(preset)), times_(times) {}

    bool isLoaded(const std::string&) const override {
        std::lock_guard lock(mutex_);
        return transcriber_ != nullptr;
    }
    std::shared_ptr<velmora::TrackTranscriber> transcriber(const std::string&, std::stop_token) override {
        std::lock_guard lock(mutex_);
        if (!transcriber_) {
            const auto start = Clock::now();
            transcriber_ = std::make_shared<ModelShapedTranscriber>(preset_, times_);
            times_.record("modelLoad", start);
        }
        return transcriber_;
    }

private:
    const ml::WhisperPreset preset_;
    StepTimes& times_;
    mutable std::mutex mutex_;
    std::shared_ptr<ModelShapedTranscriber> transcriber_;
};

/// The application's main thread, timing every task and tick it runs while `measuring` is set.
class TimingDispatcher final : public velmora::MainThreadDispatcher {
public:
    explicit TimingDispatcher(velmora::PlainMainLoop& loop) : loop_(loop) {}

    void post(std::function<void()> task) override {
        loop_.post([this, task = std::move(task)] { timed(task); });
    }
    std::unique_ptr<velmora::RepeatingTimer> scheduleRepeating(std::chrono::milliseconds interval,
                                                               std::function<void()> tick) override {
        return loop_.scheduleRepeating(interval, [this, tick = std::move(tick)] { timed(tick); });
    }
    bool isMainThread() const override { return loop_.isMainThread(); }

    bool measuring = false;
    double longestTaskSeconds = 0;
    int tasks = 0;

private:
    void timed(const std::function<void()>& task) {
        const auto start = Clock::now();
        task();
        if (measuring) {
            longestTaskSeconds = std::max(longestTaskSeconds, secondsSince(start));
            ++tasks;
        }
    }

    velmora::PlainMainLoop& loop_;
};

void BM_PostProcessRecording(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named(kPresets[state.range(0)]);
    rawTracks();
    char pattern[] = "/tmp/velmora-bench-home.XXXXXX";
    const fs::path home = mkdtemp(pattern);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");

    for (auto _ : state) {
        StepTimes times;
        velmora::PlainMainLoop loop;
        TimingDispatcher dispatcher(loop);
        velmora::AppSettings settings(std::make_shared<velmora::DefaultsStore>());
        auto collaborators = velmora::SessionCollaborators::standard(
            std::make_shared<ModelShapedTranscription>(preset, times));
        collaborators.availableBytes = [](const fs::path&) { return std::nullopt; };
        collaborators.makeMicrophone = [] { return std::make_unique<LinkedMicrophone>(); };
        collaborators.makeSystemAudio = [] { return std::make_unique<LinkedSystemAudio>(); };
        const auto convert = collaborators.convertToM4A;
        collaborators.convertToM4A = [&times, convert](const fs::path& source, const fs::path& destination,
                                                       std::stop_token stop) {
            const auto start = Clock::now();
            convert(source, destination, stop);
            times.record(source.filename() == "mic.caf" ? "convertMic" : "convertSystem", start);
        };
        const auto mix = collaborators.mix;
        collaborators.mix = [&times, mix](const fs::path& a, const fs::path& b, const fs::path& destination,
                                          std::stop_token stop) {
            const auto start = Clock::now();
            mix(a, b, destination, stop);
            times.record("mix", start);
        };
        velmora::RecordingSession session(settings, dispatcher, std::move(collaborators));

        std::atomic<bool> probing{true};
        std::atomic<double> longestProbeWait{0};
        // The same wait over five seconds before the recording, with the main thread idle: what the machine's
        // scheduling alone costs a posted task right now.
        std::atomic<bool> idleBaseline{true};
        std::atomic<double> longestIdleWait{0};
        Clock::time_point jobStart;
        session.pendingTranscriptions().subscribe([&](int pending) {
            if (pending == 1 && !dispatcher.measuring) {
                dispatcher.measuring = true;
                jobStart = Clock::now();
            } else if (pending == 0) {
                dispatcher.measuring = false;
                times.record("job", jobStart);
                loop.quit();
            }
        });
        session.transcriptionError().subscribe([&](const std::optional<std::string>& error) {
            if (error) {
                state.SkipWithError(error->c_str());
            }
        });
        std::thread probe([&] {
            while (probing) {
                const auto posted = Clock::now();
                loop.post([&, posted] {
                    if (dispatcher.measuring) {
                        longestProbeWait = std::max(longestProbeWait.load(), secondsSince(posted));
                    } else if (idleBaseline) {
                        longestIdleWait = std::max(longestIdleWait.load(), secondsSince(posted));
                    }
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });

        const auto baselineTimer = loop.scheduleRepeating(std::chrono::seconds(5), [&] {
            if (idleBaseline) {
                idleBaseline = false;
                session.start();
            }
        });
        std::unique_ptr<velmora::RepeatingTimer> stopTimer;
        session.phase().subscribe([&](const velmora::RecordingPhase& phase) {
            if (phase.isRecording()) {
                // Stop once the preload has the model, so the job measures post-processing alone.
                stopTimer = loop.scheduleRepeating(std::chrono::milliseconds(50), [&] {
                    if (session.isChangingRecorders() || !session.phase().value().isRecording()) {
                        return;
                    }
                    std::lock_guard lock(times.mutex);
                    if (times.seconds.count("modelLoad") != 0) {
                        session.stop();
                    }
                });
            }
        });
        loop.run();
        probing = false;
        probe.join();

        std::lock_guard lock(times.mutex);
        for (const auto& step : {"convertMic", "convertSystem", "transcribeMe", "transcribeOther", "mix", "modelLoad"}) {
            state.counters[std::string(step) + " s"] = times.seconds[step];
        }
        // Between the system track's transcription and the mix: the bleed filter, the merge and both writes.
        state.counters["bleedAndWrites s"] =
            std::chrono::duration<double>(times.starts["mix"] - times.ends["transcribeOther"]).count();
        state.counters["job s"] = times.seconds["job"];
        state.counters["chunks"] = times.chunks;
        state.counters["longestMainTask ms"] = 1000 * dispatcher.longestTaskSeconds;
        state.counters["longestProbeWait ms"] = 1000 * longestProbeWait.load();
        state.counters["idleProbeWait ms"] = 1000 * longestIdleWait.load();
        state.counters["mainTasks"] = dispatcher.tasks;
        state.SetIterationTime(times.seconds["job"]);
    }
    fs::remove_all(home);
    std::ostringstream label;
    label << preset.name << "-shaped model, " << recordingSeconds() / 60 << " min, " << cpuModelName();
    state.SetLabel(label.str());
}

} // namespace

// tiny and turbo.
BENCHMARK(BM_PostProcessRecording)->Arg(0)->Arg(3)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
