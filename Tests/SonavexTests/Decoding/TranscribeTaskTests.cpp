#include "OrvaneCore/Errors/CancellationError.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/SignpostSink.h"
#include "SonavexTests/TranscribeTaskFixture.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>

using namespace tasktest;
using sonavex::DecodingOptions;
using sonavex::TranscriptionSegment;
using sonavex::WhisperError;

namespace {

/// Records each window's place and lets a test drop segments.
class RecordingTask : public sonavex::TranscribeTask {
public:
    using TranscribeTask::TranscribeTask;
    std::vector<std::pair<int64_t, int64_t>> windows;
    std::function<bool(int64_t seek)> dropsWindow;

    void windowPreprocess(const std::shared_ptr<sonavex::AudioProcessorOutputType>&, int64_t seek,
                          int64_t segmentSize) override {
        windows.emplace_back(seek, segmentSize);
    }
    std::vector<TranscriptionSegment> windowPostProcess(int64_t seek, int64_t,
                                                        std::vector<TranscriptionSegment> segments) override {
        return dropsWindow && dropsWindow(seek) ? std::vector<TranscriptionSegment>{} : segments;
    }
};

DecodingOptions options(DecodingOptions::Arguments arguments) {
    return DecodingOptions(arguments);
}

std::vector<int64_t> seeksOf(const std::vector<TranscriptionSegment>& segments) {
    std::vector<int64_t> seeks;
    for (const auto& segment : segments) {
        seeks.push_back(segment.seek);
    }
    return seeks;
}

/// A seeker that never moves on.
class StuckSeeker : public sonavex::SegmentSeeker {
public:
    sonavex::SeekPointAndSegments
    findSeekPointAndSegments(const sonavex::DecodingResult& result, const DecodingOptions& options,
                             int64_t count, int64_t seek, int64_t size, int64_t rate, int64_t time,
                             int64_t special, const sonavex::WhisperTokenizer& tokenizer) override {
        auto found = SegmentSeeker::findSeekPointAndSegments(result, options, count, seek, size, rate, time,
                                                             special, tokenizer);
        return {seek - 5, found.second};
    }
};

struct NoMel : sonavex::FeatureExtracting {
    std::optional<int64_t> melCount() const override { return 80; }
    std::optional<int64_t> windowSamples() const override { return kWindow; }
    std::shared_ptr<sonavex::FeatureExtractorOutputType>
    logMelSpectrogram(const std::shared_ptr<sonavex::AudioProcessorOutputType>&, std::stop_token) override {
        return nullptr;
    }
};

struct NoEncoding : sonavex::AudioEncoding {
    std::optional<int64_t> embedSize() const override { return kWidth; }
    std::shared_ptr<sonavex::AudioEncoderOutputType>
    encodeFeatures(const std::shared_ptr<sonavex::FeatureExtractorOutputType>&, std::stop_token) override {
        return nullptr;
    }
};

template <class Call> void expectTranscriptionFailed(Call&& call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::transcriptionFailed);
        EXPECT_EQ(error.message(), message);
    }
}

} // namespace

TEST(TranscribeTask, AudioUpToTheClipMarginGivesAnEmptyEnglishResultWithoutAWindow) {
    Stages stages(wholeWindowScript());
    for (int64_t samples : {int64_t(0), int64_t(100), kWindow}) {
        auto task = stages.task();
        const auto result = task->run(silence(samples), std::nullopt);
        EXPECT_EQ(result->text(), "");
        EXPECT_TRUE(result->segments().empty());
        EXPECT_EQ(result->language(), "en");
        EXPECT_FALSE(result->seekTime());
        EXPECT_EQ(task->progress()->totalUnitCount(), samples);
        EXPECT_EQ(task->progress()->completedUnitCount(), samples);
        EXPECT_DOUBLE_EQ(result->timings().inputAudioSeconds, double(samples) / 16000);
    }
    EXPECT_TRUE(stages.decoder->attempts().empty());
}

TEST(TranscribeTask, WindowsFollowTheSeekerAndReportTheirSegmentsInOrder) {
    Stages stages(halfWindowScript());
    auto task = stages.task<RecordingTask>();
    std::vector<std::vector<TranscriptionSegment>> discovered;
    task->setSegmentDiscoveryCallback(
        [&](const std::vector<TranscriptionSegment>& segments) { discovered.push_back(segments); });
    const auto result = task->run(silence(40000), options({.windowClipTime = 0}));

    EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{
                                 {0, 16000}, {8000, 16000}, {16000, 16000}, {24000, 16000}, {32000, 8000}}));
    const auto segments = result->segments();
    ASSERT_EQ(segments.size(), 5u);
    EXPECT_EQ(seeksOf(segments), (std::vector<int64_t>{0, 8000, 16000, 24000, 32000}));
    for (size_t i = 0; i < segments.size(); ++i) {
        EXPECT_EQ(segments[i].id, int64_t(i));
        EXPECT_FLOAT_EQ(segments[i].start, float(i) * 0.5f);
        EXPECT_FLOAT_EQ(segments[i].end, float(i) * 0.5f + 0.5f);
    }
    ASSERT_EQ(discovered.size(), 5u);
    EXPECT_EQ(discovered[4][0], segments[4]);
    EXPECT_EQ(result->text(), "aaaaa"); // decoded from the text tokens alone
    EXPECT_EQ(result->language(), "en");

    const auto timings = result->timings();
    EXPECT_EQ(timings.totalDecodingWindows, 5);
    EXPECT_EQ(timings.totalAudioProcessingRuns, 5);
    EXPECT_EQ(timings.totalLogmelRuns, 5);
    EXPECT_EQ(timings.totalEncodingRuns, 5);
    EXPECT_EQ(timings.totalDecodingFallbacks, 0);
    EXPECT_GT(timings.totalDecodingLoops, 0);
    EXPECT_DOUBLE_EQ(timings.inputAudioSeconds, 2.5);
    EXPECT_GE(timings.fullPipeline, timings.decodingLoop);
    EXPECT_LT(timings.pipelineStart, timings.firstTokenTime);
    EXPECT_EQ(task->progress()->completedUnitCount(), 40000);
    EXPECT_EQ(stages.decoder->staleSteps(), 0);
}

TEST(TranscribeTask, ClipsRunAsGivenAndEndsPastTheAudioAreClamped) {
    Stages stages(halfWindowScript());
    {
        auto task = stages.task<RecordingTask>();
        const auto result = task->run(
            silence(32000), options({.clipTimestamps = {0.5f, 1.0f, 0.0f, 0.5f}, .windowClipTime = 0}));
        EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{{8000, 8000}, {0, 8000}}));
        EXPECT_EQ(seeksOf(result->segments()), (std::vector<int64_t>{8000, 0}));
        EXPECT_EQ(task->progress()->totalUnitCount(), 16000);
        EXPECT_DOUBLE_EQ(result->timings().inputAudioSeconds, 1.5);
    }
    {
        // The clip 1.5 s ..< 5 s of two seconds of audio is 24000 ..< 32000.
        auto task = stages.task<RecordingTask>();
        const auto result =
            task->run(silence(32000), options({.clipTimestamps = {1.5f, 5.0f}, .windowClipTime = 0}));
        EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{{24000, 8000}}));
        EXPECT_EQ(task->progress()->totalUnitCount(), 8000);
        EXPECT_EQ(task->progress()->completedUnitCount(), 8000);
        EXPECT_DOUBLE_EQ(result->timings().inputAudioSeconds, 0.5);
    }
    {
        // An odd count runs the last clip to the audio's end; the default margin keeps its last second out.
        auto task = stages.task<RecordingTask>();
        task->run(silence(48000), options({.clipTimestamps = {1.0f}}));
        EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{{16000, 16000}, {24000, 16000}}));
    }
}

TEST(TranscribeTask, MaxWindowSeekLimitsEveryAdvance) {
    Stages stages(wholeWindowScript());
    auto task = stages.task<RecordingTask>();
    const auto result = task->run(silence(16000), options({.maxWindowSeek = 4000, .windowClipTime = 0}));
    EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{
                                 {0, 16000}, {4000, 12000}, {8000, 8000}, {12000, 4000}}));
    EXPECT_EQ(result->text(), "abababab");
}

TEST(TranscribeTask, ASeekThatDoesNotAdvanceMovesToTheWindowsEnd) {
    Stages stages(wholeWindowScript());
    stages.seeker = std::make_shared<StuckSeeker>();
    LogCapture log;
    auto task = stages.task<RecordingTask>();
    task->run(silence(32000), options({.windowClipTime = 0}));
    EXPECT_EQ(task->windows, (std::vector<std::pair<int64_t, int64_t>>{{0, 16000}, {16000, 16000}}));
    const auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Seek did not advance from 0; moving to 16000"),
              lines.end());

    auto limited = stages.task<RecordingTask>();
    limited->run(silence(16000), options({.maxWindowSeek = 6000, .windowClipTime = 0}));
    EXPECT_EQ(limited->windows,
              (std::vector<std::pair<int64_t, int64_t>>{{0, 16000}, {6000, 10000}, {12000, 4000}}));
}

TEST(TranscribeTask, WindowsWithoutSegmentsAddNothingAndTheNextStartsFromAFreshState) {
    // A negative no-speech threshold makes every window silence for the seeker (and the fallback).
    Stages stages(wholeWindowScript());
    const auto silent =
        options({.windowClipTime = 0, .logProbThreshold = std::nullopt, .noSpeechThreshold = -1.0f});
    auto task = stages.task<RecordingTask>();
    int discoveries = 0;
    task->setSegmentDiscoveryCallback([&](const std::vector<TranscriptionSegment>&) { ++discoveries; });
    const auto result = task->run(silence(48000), silent);
    EXPECT_EQ(task->windows.size(), 3u);
    EXPECT_TRUE(result->segments().empty());
    EXPECT_EQ(result->text(), "");
    EXPECT_EQ(discoveries, 0);
    EXPECT_EQ(result->timings().totalDecodingWindows, 0);
    EXPECT_EQ(task->progress()->completedUnitCount(), 48000);
    // One attempt per window: silence asks for no retry. Each starts from position 0 alone.
    const auto attempts = stages.decoder->attempts();
    ASSERT_EQ(attempts.size(), 3u);
    for (const auto& attempt : attempts) {
        EXPECT_TRUE(attempt.freshState);
    }
    EXPECT_EQ(stages.decoder->staleSteps(), 0);
}

TEST(TranscribeTask, WordTimingsAreAddedFromTheAlignmentAndAnEmptyListIsANormalWindow) {
    Stages stages({{T0, 3, A, 10}, {A, 4, B, 25}, {B, 5, T1, 40}, {T1, 6, EOT, 45}});
    auto task = stages.task();
    const auto result = task->run(silence(16000), options({.wordTimestamps = true, .windowClipTime = 0}));
    const auto segments = result->segments();
    ASSERT_EQ(segments.size(), 1u);
    ASSERT_TRUE(segments[0].words);
    ASSERT_EQ(segments[0].words->size(), 2u);
    EXPECT_EQ((*segments[0].words)[0].word, "a");
    EXPECT_LE((*segments[0].words)[1].end, 1.0f);
    EXPECT_EQ(result->timings().totalTimestampAlignmentRuns, 1);

    // Silent windows: the seeker gives no list, word timing an empty one, which counts as a window.
    auto silentTask = stages.task();
    std::vector<size_t> discovered;
    silentTask->setSegmentDiscoveryCallback(
        [&](const std::vector<TranscriptionSegment>& segments) { discovered.push_back(segments.size()); });
    const auto silent = silentTask->run(silence(32000), options({.wordTimestamps = true,
                                                                 .windowClipTime = 0,
                                                                 .logProbThreshold = std::nullopt,
                                                                 .noSpeechThreshold = -1.0f}));
    EXPECT_EQ(discovered, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(silent->timings().totalDecodingWindows, 2);
    EXPECT_EQ(silent->timings().totalTimestampAlignmentRuns, 2);

    // A decoder without alignment output: no words, silently.
    Stages unaligned(wholeWindowScript(), false);
    const auto plain =
        unaligned.task()->run(silence(16000), options({.wordTimestamps = true, .windowClipTime = 0}));
    ASSERT_EQ(plain->segments().size(), 1u);
    EXPECT_FALSE(plain->segments()[0].words);
    EXPECT_EQ(plain->timings().totalTimestampAlignmentRuns, 0);
}

TEST(TranscribeTask, TheResultTextComesFromTheKeptSegmentsTokens) {
    Stages stages(halfWindowScript());
    auto task = stages.task<RecordingTask>();
    task->dropsWindow = [](int64_t seek) { return seek == 8000; };
    const auto result = task->run(silence(32000), options({.windowClipTime = 0}));
    EXPECT_EQ(seeksOf(result->segments()), (std::vector<int64_t>{0, 16000, 24000}));
    EXPECT_EQ(result->text(), "aaa");
    EXPECT_EQ(result->segments()[2].id, 2); // ids count the kept segments
}

TEST(TranscribeTask, StagesThatGiveNothingFailTheRunAndCloseItsInterval) {
    Stages stages(wholeWindowScript());
    SignpostSink sink;
    sonavex::TranscribeTask noMel({}, nullptr, nullptr, stages.encoder, std::make_shared<NoMel>(),
                                  stages.seeker, stages.decoder, stages.tokenizer);
    expectTranscriptionFailed([&] { noMel.run(silence(32000), std::nullopt); }, "Mel output is nil");
    sonavex::TranscribeTask noEncoding({}, nullptr, nullptr, std::make_shared<NoEncoding>(), stages.mel,
                                       stages.seeker, stages.decoder, stages.tokenizer);
    expectTranscriptionFailed([&] { noEncoding.run(silence(32000), std::nullopt); }, "Encoder output is nil");
    std::vector<sonavex::SignpostEvent> events;
    for (const auto& event : sink.events()) {
        if (event.name == "TranscribeAudio") {
            events.push_back(event);
        }
    }
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1].kind, sonavex::SignpostEvent::Kind::intervalEnd);
    EXPECT_EQ(events[1].signpostId, events[0].signpostId);
    EXPECT_EQ(events[3].kind, sonavex::SignpostEvent::Kind::intervalEnd);
}

TEST(TranscribeTask, OneRunIsOneIntervalWithADecodeIntervalPerWindow) {
    Stages stages(halfWindowScript());
    SignpostSink sink;
    stages.task()->run(silence(24000), options({.windowClipTime = 0})); // windows at 0, 8000 and 16000
    std::vector<std::pair<std::string, sonavex::SignpostEvent::Kind>> events;
    for (const auto& event : sink.events()) {
        if (event.category == "TranscribeTask") {
            events.emplace_back(event.name, event.kind);
        }
    }
    using Kind = sonavex::SignpostEvent::Kind;
    const std::pair<std::string, Kind> begin{"TranscribeAudio", Kind::intervalBegin},
        end{"TranscribeAudio", Kind::intervalEnd}, decodeBegin{"Decode", Kind::intervalBegin},
        decodeEnd{"Decode", Kind::intervalEnd};
    EXPECT_EQ(events, (std::vector<std::pair<std::string, Kind>>{begin, decodeBegin, decodeEnd, decodeBegin,
                                                                 decodeEnd, decodeBegin, decodeEnd, end}));
}

TEST(TranscribeTask, AStopRequestEndsTheRunWithCancellation) {
    Stages stages(halfWindowScript());
    std::stop_source stop;
    auto task = stages.task();
    task->setSegmentDiscoveryCallback([&](const auto&) { stop.request_stop(); });
    EXPECT_THROW(task->run(silence(48000), options({.windowClipTime = 0}), {}, stop.get_token()),
                 orvane::CancellationError);
    EXPECT_EQ(task->timings().totalDecodingWindows, 1);
}

TEST(TranscribeTask, AProgressCallbackThatAnswersFalseStopsOnlyItsWindow) {
    // A window that would run to the step limit: "a" again and again.
    Stages stages({{T0, 3, A, -1}, {A, -1, A, -1}});
    std::mutex mutex;
    std::condition_variable answered;
    std::map<int64_t, int> falseAnswers; // by window
    std::vector<int64_t> windowIds;
    int64_t window = -1;
    // Reports are handled one after another, so a window's second false answer means the first one's stop
    // flag is set: each window waits at position 12 until then.
    stages.decoder->beforePrediction = [&](int64_t position) {
        std::unique_lock lock(mutex);
        if (position == 0) {
            ++window;
        } else if (position == 12) {
            answered.wait_for(lock, std::chrono::seconds(20), [&] { return falseAnswers[window] >= 2; });
        }
    };
    auto task = stages.task();
    const auto result =
        task->run(silence(32000), options({.windowClipTime = 0, .compressionRatioThreshold = std::nullopt}),
                  [&](const sonavex::TranscriptionProgress& progress) -> std::optional<bool> {
                      std::lock_guard lock(mutex);
                      windowIds.push_back(progress.windowId);
                      if (progress.tokens.size() < 8) {
                          return std::nullopt;
                      }
                      ++falseAnswers[progress.windowId];
                      answered.notify_all();
                      return false;
                  });
    // Reports may still be running after the run returned; they use this test's locals.
    stages.decoder->waitForProgress();
    const auto segments = result->segments();
    ASSERT_EQ(segments.size(), 2u); // the run went on to the second window
    for (const auto& segment : segments) {
        EXPECT_LT(segment.tokens.size(), 40u) << "the window was not stopped early";
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(windowIds.front(), 0);
    EXPECT_NE(std::find(windowIds.begin(), windowIds.end(), 1), windowIds.end());
}
