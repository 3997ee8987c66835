#include "SonavexTests/Facade/FacadeFixture.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/TranscribeTask.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Support/Audio/TestAudioFile.h"

#include <cmath>
#include <mutex>
#include <set>

using namespace facadetest;
using sonavex::DecodingOptions;
using sonavex::Sonavex;
using sonavex::TranscriptionSegment;
using sonavex::TranscriptionState;

namespace {

// Every window counts, also the last short one.
const DecodingOptions kEveryWindow({.windowClipTime = 0});

std::string failureOf(const Sonavex::TranscriptionOutcome& outcome) {
    return outcome.isSuccess() ? "success" : errorOf([&] { outcome.get(); });
}

// Segments that reach a receiver, from whatever thread.
struct SegmentLog {
    std::mutex mutex;
    std::vector<TranscriptionSegment> segments;

    sonavex::SegmentDiscoveryCallback receiver() {
        return [this](const std::vector<TranscriptionSegment>& batch) {
            std::lock_guard lock(mutex);
            segments.insert(segments.end(), batch.begin(), batch.end());
        };
    }
    std::vector<float> starts() {
        std::lock_guard lock(mutex);
        std::vector<float> values;
        for (const auto& segment : segments) {
            values.push_back(segment.start);
        }
        std::sort(values.begin(), values.end());
        return values;
    }
};

// Tone bursts of `voiced` seconds, each followed by `pause` seconds of silence.
std::vector<float> bursts(int count, double voiced, double pause) {
    std::vector<float> samples;
    for (int i = 0; i < count; ++i) {
        for (int64_t n = 0; n < int64_t(voiced * 16000); ++n) {
            samples.push_back(0.3f * float(std::sin(2 * M_PI * 440.0 * double(n) / 16000.0)));
        }
        samples.resize(samples.size() + size_t(pause * 16000), 0.0f);
    }
    return samples;
}

class TranscriptionTest : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        fs::create_directories(temporary / "models");
        engine = scriptedEngine(writeScriptedModels(temporary / "models"));
    }

    std::shared_ptr<Sonavex> engine;
};

} // namespace

// One task over the whole array: one result relative to the array, while the receiver hears the segments
// placed in the longer audio; without a receiver of the call's own, the engine's gets them as they are.
TEST_F(TranscriptionTest, OneTaskPlacesTheReceiversSegmentsByTheOffset) {
    SegmentLog own, engines;
    engine->setSegmentDiscoveryCallback(engines.receiver());
    const auto results = engine->transcribe(silence(2.0), 32000, kEveryWindow, {}, own.receiver());
    ASSERT_EQ(results.size(), 1u);
    const auto segments = results[0]->segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].start, 0.0f);
    EXPECT_EQ(segments[1].start, 1.0f);
    EXPECT_EQ(segments[1].seek, 16000);
    EXPECT_FALSE(results[0]->seekTime());
    EXPECT_EQ(own.starts(), (std::vector<float>{2.0f, 3.0f}));
    EXPECT_EQ(own.segments[1].seek, 48000);
    EXPECT_TRUE(engines.segments.empty());

    engine->transcribe(silence(1.0), -5, kEveryWindow);
    EXPECT_EQ(engines.starts(), std::vector<float>{0.0f});
}

// Longer than a window with voice chunking asked: one result per chunk, placed by the chunk's offset; the
// caller's receiver hears every chunk's segments (not only the engine's); a buffer of exactly one
// window is one task.
TEST_F(TranscriptionTest, ChunkedAudioGivesAResultPerChunkAndTheCallersReceiverHearsThem) {
    const auto audio = bursts(4, 0.6, 0.5);
    DecodingOptions options = kEveryWindow;
    options.chunkingStrategy = sonavex::ChunkingStrategy::vad;
    options.clipTimestamps = {0.0f};
    const auto chunks = sonavex::VADAudioChunker(16000).chunkAll(audio, 16000, options);
    ASSERT_GT(chunks.size(), 1u);

    SegmentLog own, engines;
    engine->setSegmentDiscoveryCallback(engines.receiver());
    const auto results = engine->transcribe(audio, 16000, options, {}, own.receiver());
    ASSERT_EQ(results.size(), chunks.size());
    std::vector<float> expectedStarts;
    for (size_t i = 0; i < chunks.size(); ++i) {
        const float offset = float(chunks[i].seekOffsetIndex) / 16000.0f;
        EXPECT_EQ(results[i]->seekTime(), offset);
        EXPECT_EQ(results[i]->segments().at(0).start, offset);
        expectedStarts.push_back(offset + 1.0f);
    }
    EXPECT_EQ(own.starts(), expectedStarts);
    EXPECT_TRUE(engines.segments.empty());

    // Without a receiver of its own, the engine's hears them.
    engine->transcribe(audio, options);
    EXPECT_EQ(engines.starts().size(), chunks.size());

    const auto whole = engine->transcribe(std::vector<float>(audio.begin(), audio.begin() + 16000), options);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_FALSE(whole[0]->seekTime());
}

// Ten buffers in batches of four come back in input order, each progress report names its input, and
// seek offsets move only what the engine's receiver hears.
TEST_F(TranscriptionTest, BatchesKeepInputOrderAndNameEachInput) {
    std::vector<std::vector<float>> buffers;
    for (int i = 0; i < 10; ++i) {
        buffers.push_back(silence(double(10 - i) * 0.5)); // later buffers are shorter and finish first
    }
    DecodingOptions options = kEveryWindow;
    options.concurrentWorkerCount = 4;
    std::mutex mutex;
    std::set<int64_t> windows;
    const auto outcomes = engine->transcribeWithResults(buffers, options, [&](const sonavex::TranscriptionProgress& progress) {
        std::lock_guard lock(mutex);
        windows.insert(progress.windowId);
        return std::optional<bool>();
    });
    ASSERT_EQ(outcomes.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(outcomes[i].isSuccess()) << failureOf(outcomes[i]);
        EXPECT_EQ(outcomes[i].get().at(0)->segments().size(), size_t(std::ceil(double(10 - i) * 0.5))) << i;
    }
    std::dynamic_pointer_cast<sonavex::TextDecoder>(engine->textDecoder())->waitForProgress();
    EXPECT_EQ(windows, (std::set<int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    SegmentLog engines;
    engine->setSegmentDiscoveryCallback(engines.receiver());
    const auto shifted = engine->transcribeWithOptions({silence(1.0), silence(1.0)}, {kEveryWindow, kEveryWindow},
                                                       std::vector<int64_t>{0, 48000});
    EXPECT_EQ(engines.starts(), (std::vector<float>{0.0f, 3.0f}));
    EXPECT_EQ(shifted[1].get().at(0)->segments().at(0).start, 0.0f);
}

// Unbalanced lists give one failure; an engine nobody shares fails every input as released.
TEST_F(TranscriptionTest, BatchFailuresAreOutcomesNeverThrown) {
    auto outcomes = engine->transcribeWithOptions({silence(1), silence(1), silence(1)}, {std::nullopt, std::nullopt});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(failureOf(outcomes[0]), "The number of audio arrays and decoding options must be balanced.");
    outcomes = engine->transcribeWithOptions({silence(1)}, {std::nullopt}, std::vector<int64_t>{0, 1});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(failureOf(outcomes[0]), "The number of audio arrays and seek offset indexes must be balanced.");

    sonavex::SonavexConfig config;
    config.download = false;
    config.verbose = false;
    Sonavex unshared(config);
    outcomes = unshared.transcribeWithResults({silence(1), silence(1)}, std::nullopt);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(failureOf(outcomes[1]), "Sonavex instance was deallocated");
    EXPECT_TRUE(unshared.transcribe(std::vector<std::vector<float>>{silence(1)}, std::nullopt).at(0) == std::nullopt);
}

// A stop before the task starts is a cancellation, and the next run starts from a fresh progress.
TEST_F(TranscriptionTest, ACancelledRunLeavesAFreshProgress) {
    engine->transcribe(silence(1.0), std::nullopt);
    const auto before = engine->progress();
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(engine->transcribe(silence(1.0), std::nullopt, {}, {}, stop.get_token()), orvane::CancellationError);
    EXPECT_NE(engine->progress(), before);
    EXPECT_EQ(engine->progress()->totalUnitCount(), 0);
}

// Files: a missing one fails alone; whole files report converting, transcribing, finished; streamed files
// come back in pieces placed in the file; clip timestamps are refused before any report.
TEST_F(TranscriptionTest, FilesWholeOrStreamedWithTheirStates) {
    // Streaming needs windows longer than the loader's padding: two-second ones here.
    fs::create_directories(temporary / "long-window");
    engine = scriptedEngine(writeScriptedModels(temporary / "long-window", 32000));
    const fs::path file = temporary / "speech.wav";
    const auto audio = bursts(3, 0.6, 0.6);
    audiotest::writeAudioFile(file, audiotest::FileKind::wavF32, 16000, {audio});
    std::vector<TranscriptionState> states;
    engine->setTranscriptionStateCallback([&](TranscriptionState state) { states.push_back(state); });

    auto outcomes = engine->transcribeWithResults({(temporary / "absent.wav").string(), file.string()}, std::nullopt,
                                                  kEveryWindow);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(failureOf(outcomes[0]).rfind("Resource path does not exist ", 0), 0u) << failureOf(outcomes[0]);
    EXPECT_TRUE(outcomes[1].isSuccess());
    using enum TranscriptionState;
    EXPECT_EQ(states, (std::vector<TranscriptionState>{convertingAudio, transcribing, finished}));

    states.clear();
    sonavex::AudioInputOptions streamed;
    streamed.audioLoadingMode = sonavex::AudioInputOptions::Incremental{1.5, 1};
    const auto pieces = engine->transcribe(file.string(), streamed, kEveryWindow);
    ASSERT_GT(pieces.size(), 1u);
    for (size_t i = 1; i < pieces.size(); ++i) {
        EXPECT_LT(pieces[i - 1]->seekTime().value(), pieces[i]->seekTime().value());
        EXPECT_EQ(pieces[i]->segments().at(0).start, pieces[i]->seekTime().value());
    }
    EXPECT_EQ(states, (std::vector<TranscriptionState>{transcribing, finished}));

    states.clear();
    DecodingOptions clipped = kEveryWindow;
    clipped.clipTimestamps = {0.5f};
    EXPECT_EQ(errorOf([&] { engine->transcribe(file.string(), streamed, clipped); }),
              "clipTimestamps is not supported with AudioLoadingMode.incremental. Use .fullFile, or transcribe the "
              "desired range as a separate call.");
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(engine->transcribeWithResults(std::vector<std::string>{}, streamed, std::nullopt).empty());
    EXPECT_EQ(states, (std::vector<TranscriptionState>{transcribing, finished}));
}

namespace {

class FailingDetection : public sonavex::TextDecoder {
public:
    sonavex::DecodingResult detectLanguage(const std::shared_ptr<sonavex::AudioEncoderOutputType>&,
                                           sonavex::DecodingInputs&, sonavex::TokenSampling&,
                                           const sonavex::DecodingOptions&, ml::Float16,
                                           std::stop_token = {}) override {
        throw sonavex::WhisperError::decodingLogitsFailed("Unable to decode logits from the model output");
    }
};

} // namespace

// The first window's language; the Parts' refusals in their order.
TEST_F(TranscriptionTest, LanguageDetectionAndItsRefusals) {
    const auto detected = engine->detectLangauge(silence(0.3));
    EXPECT_EQ(detected.language, "en");
    EXPECT_EQ(detected.langProbs.count("en"), 1u);
    EXPECT_EQ(errorOf([&] { engine->detectLangauge({}); }), "Audio samples are nil");
    EXPECT_EQ(errorOf([&] { engine->detectLanguage((temporary / "absent.wav").string()); }),
              "Resource path does not exist " + (temporary / "absent.wav").string());

    engine->textDecoder()->setIsModelMultilingual(false);
    engine->setTokenizer(nullptr);
    EXPECT_EQ(errorOf([&] { engine->detectLangauge(silence(1)); }), "Language detection not supported for this model");

    sonavex::SonavexConfig config;
    config.modelFolder = (temporary / "models").string();
    config.load = false;
    config.verbose = false;
    config.textDecoder = std::make_shared<FailingDetection>();
    const auto failing = Sonavex::create(config);
    failing->setTokenizer(decodertest::tableTokenizer());
    EXPECT_EQ(errorOf([&] { failing->detectLanguage((temporary / "absent.wav").string()); }),
              "Resource path does not exist " + (temporary / "absent.wav").string());
    EXPECT_EQ(failing->modelState(), orvane::ModelState::unloaded);
    failing->textDecoder()->setIsModelMultilingual(true);
    // The first detection loads the models, then the decoder's failure is the engine's own.
    EXPECT_EQ(errorOf([&] { failing->detectLangauge(silence(1)); }), "Language detection failed");
    EXPECT_EQ(failing->modelState(), orvane::ModelState::loaded);
}

namespace {

// A task that keeps no segments, to show the engine builds its tasks through its own factory.
class SilentTask : public sonavex::TranscribeTask {
public:
    using TranscribeTask::TranscribeTask;
    std::vector<TranscriptionSegment> windowPostProcess(int64_t, int64_t, std::vector<TranscriptionSegment>) override {
        return {};
    }
};

class EngineWithSilentTasks : public Sonavex {
public:
    using Sonavex::Sonavex;
    std::unique_ptr<sonavex::TranscribeTask>
    setupTranscribeTask(const sonavex::TranscriptionTimings& timings, std::shared_ptr<orvane::Progress> progress,
                        std::shared_ptr<sonavex::AudioProcessing> audioProcessor,
                        std::shared_ptr<sonavex::AudioEncoding> audioEncoder,
                        std::shared_ptr<sonavex::FeatureExtracting> featureExtractor,
                        std::shared_ptr<sonavex::SegmentSeeking> segmentSeeker,
                        std::shared_ptr<sonavex::TextDecoding> textDecoder,
                        std::shared_ptr<sonavex::WhisperTokenizer> tokenizer) override {
        return std::make_unique<SilentTask>(timings, progress, audioProcessor, audioEncoder, featureExtractor,
                                            segmentSeeker, textDecoder, tokenizer);
    }
};

} // namespace

// A subclass's task is used by every entry point, the batch core's workers included.
TEST_F(TranscriptionTest, ASubclassesTaskServesEveryEntryPoint) {
    const auto subclassed = scriptedEngine<EngineWithSilentTasks>(temporary / "models");
    EXPECT_TRUE(subclassed->transcribe(silence(1.0), kEveryWindow).at(0)->segments().empty());
    EXPECT_FALSE(engine->transcribe(silence(1.0), kEveryWindow).at(0)->segments().empty());
    const auto outcomes = subclassed->transcribeWithResults({silence(1.0), silence(2.0)}, kEveryWindow);
    EXPECT_TRUE(outcomes.at(1).get().at(0)->segments().empty());
}
