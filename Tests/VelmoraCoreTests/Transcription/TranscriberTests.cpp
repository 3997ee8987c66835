#include "FakeSpeechEngine.h"
#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Logging/Describing.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Support/ScopedEnvironment.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"
#include "TrackFiles.h"
#include "VelmoraCore/Transcription/Transcriber.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <limits>
#include <sstream>

using transcriptiontest::engineSegment;
using transcriptiontest::FakeSpeechEngine;
using velmora::Transcriber;
using velmora::TranscriberPreparationProgress;
using velmora::TranscriptSegment;
namespace fs = std::filesystem;

namespace {

// A temporary home, so the model cache is the test's own.
class TranscriberTest : public ::testing::Test {
protected:
    TranscriberTest() {
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
    }

    velmora::EngineAccess access() const { return {engine, "http://127.0.0.1:9/hub"}; }

    // Models loaded and a transcriber for them.
    std::unique_ptr<Transcriber> loaded() { return std::make_unique<Transcriber>("tiny", nullptr, access()); }

    fs::path cachedFile(const std::string& variantFolder) const {
        const fs::path file = home.path() / "Documents/huggingface/models/vevadidaz/sonavex-coreml" /
                              variantFolder / "AudioEncoder.mlmodelc/model.json";
        testsupport::writeFile(file, "{}");
        return file;
    }

    std::vector<TranscriberPreparationProgress> reports;
    Transcriber::ProgressCallback recordReports() {
        return [this](const TranscriberPreparationProgress& progress) { reports.push_back(progress); };
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    std::shared_ptr<FakeSpeechEngine> engine = std::make_shared<FakeSpeechEngine>();
};

const auto downloading = TranscriberPreparationProgress::downloading;
const auto optimizing = TranscriberPreparationProgress::optimizing();

} // namespace

TEST_F(TranscriberTest, EachPaddedChunkIsTranscribedOnceAndGivesOneSegmentWhenItHoldsSpeech) {
    // Five voiced runs: the first two join, the last ends at the end of the track.
    const std::vector<float> samples = transcriptiontest::burstTrack(
        320000, {{16000, 32000}, {40000, 48000}, {96000, 112000}, {200000, 201600}, {316800, 320000}});
    transcriptiontest::writeTrack(home / "mic.wav", samples);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<sonavex::TranscriptionSegment>> answers = {
        // Kept up to a no-speech probability of 0.6, joined without separator, spaces kept.
        {engineSegment(" こんにちは"), engineSegment("世界 ", 0.6f), engineSegment("x", 0.61f),
         engineSegment("y", nan)},
        {engineSegment("  "), engineSegment("\n")},
        {engineSegment("z", 0.9f)},
        {engineSegment("終わり")},
    };
    std::size_t call = 0;
    engine->script = [&](const transcriptiontest::ReceivedAudio&) { return answers.at(call++); };

    const auto transcriber = loaded();
    std::vector<TranscriptSegment> handed;
    std::vector<TranscriptSegment> segments;
    transcriptiontest::CapturedOutput output;
    segments = transcriber->transcribe((home / "mic.wav").string(), 0.02f,
                                       [&](const TranscriptSegment& segment) { handed.push_back(segment); });

    const std::vector<TranscriptSegment> expected = {{0.7, 3.3, " こんにちは世界 "}, {19.5, 20.0, "終わり"}};
    EXPECT_EQ(segments, expected);
    EXPECT_EQ(handed, expected);

    const auto received = engine->transcriptions();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].samples, std::vector<float>(samples.begin() + 11200, samples.begin() + 52800));
    EXPECT_EQ(received[1].samples.size(), 116800u - 91200u);
    EXPECT_EQ(received[2].samples.size(), 206400u - 195200u);
    EXPECT_EQ(received[3].samples, std::vector<float>(samples.begin() + 312000, samples.end()));

    float peak = 0;
    for (float sample : samples) {
        peak = std::max(peak, std::fabs(sample));
    }
    EXPECT_EQ(output.text(),
              "  [debug] 読み込んだ音声: 320000 サンプル (20.0 秒), peak=" + orvane::describing(peak) +
                  "\n"
                  "  [debug] VAD生チャンク数: 5\n"
                  "  [debug] マージ後チャンク数: 4\n"
                  "  [debug] chunk 11200..<52800 → 文字数=9 内容=\" こんにちは世界 \"\n"
                  "  [debug] chunk 91200..<116800 → 文字数=3 内容=\"  \n\"\n"
                  "  [debug] chunk 195200..<206400 → 文字数=0 内容=\"\"\n"
                  "  [debug] chunk 312000..<320000 → 文字数=3 内容=\"終わり\"\n");
}

TEST_F(TranscriberTest, EveryChunkGetsTheJapaneseOptionsWithTheInitialisersDefaults) {
    transcriptiontest::writeTrack(home / "one.wav", transcriptiontest::burstTrack(32000, {{8000, 16000}}));
    const auto transcriber = loaded();
    transcriptiontest::CapturedOutput output;
    transcriber->transcribe((home / "one.wav").string(), 0.02f);
    const auto received = engine->transcriptions();
    ASSERT_EQ(received.size(), 1u);
    const sonavex::DecodingOptions& options = received[0].options;
    EXPECT_EQ(options.task, sonavex::DecodingTask::transcribe);
    EXPECT_EQ(options.language, "ja");
    EXPECT_EQ(options.sampleLength, 224);
    EXPECT_FALSE(options.detectLanguage); // none given, and the prompt is prefilled
    EXPECT_TRUE(options.skipSpecialTokens);
    EXPECT_FALSE(options.withoutTimestamps);
    EXPECT_TRUE(options.suppressTokens.empty());
    EXPECT_EQ(options.noSpeechThreshold, 0.6f);
    EXPECT_EQ(options.concurrentWorkerCount, 16);
    EXPECT_FALSE(options.chunkingStrategy); // the engine must not chunk the chunks again
    EXPECT_EQ(options, Transcriber::decodingOptions());
}

TEST_F(TranscriberTest, SilentTracksPrintTheirLinesAndNeverReachTheEngine) {
    transcriptiontest::writeTrack(home / "silent.wav", std::vector<float>(16000, 0.0f));
    // A quiet hum below the threshold is silence too.
    transcriptiontest::writeTrack(home / "hum.wav",
                                  transcriptiontest::burstTrack(24000, {{0, 24000}}, 0.02f));
    const auto transcriber = loaded();
    {
        transcriptiontest::CapturedOutput output;
        EXPECT_TRUE(transcriber->transcribe((home / "silent.wav").string(), 0.02f).empty());
        EXPECT_EQ(output.text(), "  [debug] 読み込んだ音声: 16000 サンプル (1.0 秒), peak=0.0\n"
                                 "  [debug] VAD生チャンク数: 0\n"
                                 "  [debug] マージ後チャンク数: 0\n");
    }
    {
        transcriptiontest::CapturedOutput output;
        EXPECT_TRUE(transcriber->transcribe((home / "hum.wav").string(), 0.02f).empty());
        EXPECT_NE(output.text().find("VAD生チャンク数: 0\n"), std::string::npos);
    }
    EXPECT_TRUE(engine->transcriptions().empty());
}

TEST_F(TranscriberTest, LoadAndEngineErrorsEndTheCallButSegmentsAlreadyHandedStay) {
    const auto transcriber = loaded();
    {
        transcriptiontest::CapturedOutput output;
        EXPECT_THROW(transcriber->transcribe((home / "missing.m4a").string(), 0.02f), sonavex::WhisperError);
        EXPECT_EQ(output.text(), "");
    }
    transcriptiontest::writeTrack(home / "two.wav",
                                  transcriptiontest::burstTrack(160000, {{16000, 32000}, {96000, 112000}}));
    std::size_t call = 0;
    engine->script =
        [&](const transcriptiontest::ReceivedAudio&) -> std::vector<sonavex::TranscriptionSegment> {
        if (call++ == 1) {
            throw sonavex::WhisperError::decodingFailed("scripted failure");
        }
        return {engineSegment("一つ目")};
    };
    std::vector<TranscriptSegment> handed;
    transcriptiontest::CapturedOutput output;
    EXPECT_THROW(
        transcriber->transcribe((home / "two.wav").string(), 0.02f,
                                [&](const TranscriptSegment& segment) { handed.push_back(segment); }),
        sonavex::WhisperError);
    EXPECT_EQ(handed, (std::vector<TranscriptSegment>{{0.7, 2.3, "一つ目"}}));
}

TEST_F(TranscriberTest, ATrackThatEndsEarlyIsTranscribedAsFarAsItGoesWithAWarning) {
    // The header states four seconds; the track holds two with one burst.
    const std::vector<float> samples = transcriptiontest::burstTrack(32000, {{8000, 16000}});
    audiotest::writeRawWav(home / "cut.wav", 16000, 1, 32, samples, 64000 * 4, 64000);
    engine->script =
        [](const transcriptiontest::ReceivedAudio&) -> std::vector<sonavex::TranscriptionSegment> {
        return {engineSegment("残り")};
    };
    const auto transcriber = loaded();
    std::ostringstream warnings;
    auto* original = std::cerr.rdbuf(warnings.rdbuf());
    transcriptiontest::CapturedOutput output;
    const auto segments = transcriber->transcribe((home / "cut.wav").string(), 0.02f);
    std::cerr.rdbuf(original);
    EXPECT_EQ(segments, (std::vector<TranscriptSegment>{{0.2, 1.3, "残り"}}));
    EXPECT_NE(output.text().find("読み込んだ音声: 32000 サンプル (2.0 秒)"), std::string::npos)
        << output.text();
    EXPECT_EQ(warnings.str(), "warning: " + (home / "cut.wav").string() +
                                  " ends early: it holds 32000 of the 64000 frames its header states; "
                                  "transcribing the 32000\n");
}

TEST_F(TranscriberTest, AnAacTrackIsLoadedWholeAndChunkedAsAny) {
    const std::vector<float> samples =
        transcriptiontest::burstTrack(160000, {{16000, 48000}, {112000, 128000}});
    audiotest::writeAudioFile(home / "system.m4a", audiotest::FileKind::m4aAac, 16000, {samples});
    engine->script = [](const transcriptiontest::ReceivedAudio&) {
        return std::vector<sonavex::TranscriptionSegment>{engineSegment("声")};
    };
    const auto transcriber = loaded();
    transcriptiontest::CapturedOutput output;
    const auto segments = transcriber->transcribe((home / "system.m4a").string(), 0.02f);
    EXPECT_EQ(segments.size(), 2u);
    EXPECT_NE(output.text().find("読み込んだ音声: 160000 サンプル (10.0 秒)"), std::string::npos)
        << output.text();
}

TEST_F(TranscriberTest, ConstructionDownloadsFromTheRepositoryThenBuildsALoadedEngineFromThatFolder) {
    Transcriber transcriber("large-v3-v20240930_turbo_632MB", recordReports(), access());
    const auto downloads = engine->downloads();
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].variant, "large-v3-v20240930_turbo_632MB");
    EXPECT_EQ(downloads[0].repository, "vevadidaz/sonavex-coreml");
    EXPECT_EQ(downloads[0].endpoint, "http://127.0.0.1:9/hub");
    EXPECT_FALSE(downloads[0].downloadBase);
    EXPECT_FALSE(downloads[0].token);
    EXPECT_FALSE(downloads[0].useBackgroundSession);

    const auto constructions = engine->constructions();
    ASSERT_EQ(constructions.size(), 1u);
    EXPECT_EQ(constructions[0].model, "large-v3-v20240930_turbo_632MB");
    EXPECT_EQ(constructions[0].modelFolder, "/models/fake");
    EXPECT_TRUE(constructions[0].verbose);
    EXPECT_EQ(constructions[0].logLevel, orvane::Logging::LogLevel::info);
    EXPECT_EQ(constructions[0].prewarm, true);
    EXPECT_EQ(constructions[0].load, true);
    EXPECT_TRUE(constructions[0].download);
    EXPECT_FALSE(constructions[0].useBackgroundDownloadSession);
    EXPECT_TRUE(constructions[0].everythingElseAbsent);

    EXPECT_EQ(reports,
              (std::vector<TranscriberPreparationProgress>{downloading(0.5), downloading(1.0), optimizing}));

    // The endpoint defaults to the public hub.
    Transcriber byDefault("tiny", nullptr, velmora::EngineAccess{engine});
    EXPECT_EQ(engine->downloads().back().endpoint, "https://huggingface.co");
}

TEST_F(TranscriberTest, LocalFilesThatFailToLoadAreDeletedAndFetchedOnceMore) {
    const fs::path damaged = cachedFile("openai_whisper-tiny");
    const fs::path other = cachedFile("openai_whisper-base");
    engine->constructFailures.push_back(
        std::make_exception_ptr(sonavex::WhisperError::modelsUnavailable("scripted damaged model")));

    Transcriber transcriber("tiny", recordReports(), access());
    EXPECT_FALSE(fs::exists(damaged.parent_path().parent_path()));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(engine->downloads().size(), 2u);
    EXPECT_EQ(engine->constructions().size(), 2u);
    // The second attempt reports from its start.
    EXPECT_EQ(reports,
              (std::vector<TranscriberPreparationProgress>{downloading(0.5), downloading(1.0), optimizing,
                                                           downloading(0.5), downloading(1.0), optimizing}));
}

TEST_F(TranscriberTest, AFailedDownloadKeepsTheCachedVariantAndIsTriedOnceMore) {
    const fs::path cached = cachedFile("openai_whisper-tiny");
    engine->downloadFailures.push_back(std::make_exception_ptr(std::runtime_error("network unreachable")));
    Transcriber transcriber("tiny", nullptr, access());
    EXPECT_TRUE(fs::exists(cached));
    EXPECT_EQ(engine->downloads().size(), 2u);

    // Both attempts failing: the second error is the one thrown, and the cache is still kept.
    engine->downloadFailures.push_back(std::make_exception_ptr(std::runtime_error("first")));
    engine->downloadFailures.push_back(std::make_exception_ptr(std::runtime_error("second")));
    try {
        Transcriber failing("tiny", nullptr, access());
        FAIL() << "construction succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "second");
    }
    EXPECT_TRUE(fs::exists(cached));

    // A second load failure ends construction with the second error.
    engine->constructFailures.push_back(std::make_exception_ptr(std::runtime_error("damaged")));
    engine->constructFailures.push_back(std::make_exception_ptr(std::runtime_error("still damaged")));
    try {
        Transcriber failing("tiny", nullptr, access());
        FAIL() << "construction succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "still damaged");
    }
}

TEST_F(TranscriberTest, ACancelledLoadIsNeitherRetriedNorDeletesTheCache) {
    const fs::path cached = cachedFile("openai_whisper-tiny");
    std::stop_source stop;
    stop.request_stop();
    engine->constructFailures.push_back(std::make_exception_ptr(orvane::CancellationError()));
    EXPECT_THROW(Transcriber("tiny", nullptr, access(), stop.get_token()), orvane::CancellationError);
    // Stopped while another failure was on its way: still no retry.
    engine->constructFailures.push_back(std::make_exception_ptr(std::runtime_error("damaged")));
    EXPECT_THROW(Transcriber("tiny", nullptr, access(), stop.get_token()), orvane::CancellationError);
    EXPECT_EQ(engine->constructions().size(), 2u);
    EXPECT_TRUE(fs::exists(cached));
}
