// Two minutes of audio through the transcription task on random-weight models of the tiny shape, four
// 30-second windows. The engine's own timings split the run: "stages" is the mel, encoder and decoder
// time, "task" what the task adds around them per window (cutting and padding the window, the seeker,
// the bookkeeping), and "task share" the second over the first, both from the same run. Each window
// decodes at most 24 tokens at one temperature, so the decoder does not drown the rest.

#include "Sonavex/Core/TranscribeTask.h"

#include "BenchmarkSupport.h"
#include "BenchmarkTokenizer.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace benchsupport;

void BM_TranscribeTask(benchmark::State& state) {
    const ml::WhisperPreset preset = *ml::WhisperPreset::named("tiny");
    auto mel = std::make_shared<sonavex::FeatureExtractor>();
    mel->setModel(loadWritten(ml::MelSpectrogramModel::writer(80, 480000), "mel", preset.name));
    auto encoder = std::make_shared<sonavex::AudioEncoder>();
    encoder->setModel(loadWritten(ml::AudioEncoderModel::writer(preset.encoder, 1), "encoder", preset.name));
    auto decoder = std::make_shared<sonavex::TextDecoder>();
    decoder->setModel(loadWritten(ml::TextDecoderModel::writer(preset.decoder, 2), "decoder", preset.name));
    const auto tokenizer = multilingualTokenizer();
    decoder->setTokenizer(tokenizer);
    decoder->setIsModelMultilingual(true);
    auto seeker = std::make_shared<sonavex::SegmentSeeker>();

    std::vector<float> audio(size_t(120 * 16000));
    for (size_t i = 0; i < audio.size(); ++i) {
        audio[i] = 0.3f * std::sin(float(i) * 0.05f) * std::sin(float(i) * 0.0003f);
    }
    // Every window runs to its end whatever the decoder says, so each run has the same four windows.
    const sonavex::DecodingOptions options({.temperatureFallbackCount = 0,
                                            .sampleLength = 24,
                                            .withoutTimestamps = true,
                                            .windowClipTime = 0,
                                            .firstTokenLogProbThreshold = std::nullopt});

    double stages = 0, task = 0, windows = 0, cut = 0;
    for (auto _ : state) {
        sonavex::TranscribeTask transcription({}, nullptr, nullptr, encoder, mel, seeker, decoder, tokenizer);
        const auto timings = transcription.run(audio, options)->timings();
        const double stageSeconds = timings.logmels + timings.encoding + timings.decodingPredictions +
                                    timings.decodingFiltering + timings.decodingSampling +
                                    timings.decodingKvCaching + timings.decodingNonPrediction;
        stages += stageSeconds;
        task += timings.audioProcessing + timings.decodingWindowing;
        cut += timings.audioProcessing;
        windows += timings.totalEncodingRuns;
    }
    state.counters["windows/run"] = windows / double(state.iterations());
    state.counters["stages ms/window"] = 1e3 * stages / windows;
    state.counters["task ms/window"] = 1e3 * task / windows;
    state.counters["cut+pad ms/window"] = 1e3 * cut / windows;
    state.counters["task share"] = task / stages;
}

BENCHMARK(BM_TranscribeTask)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
