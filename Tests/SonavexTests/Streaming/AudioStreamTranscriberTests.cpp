#include "StreamingFixture.h"

#include "SonavexTests/LogCapture.h"

#include <gtest/gtest.h>

using sonavex::AudioStreamTranscriber;
using sonavex::TranscriptionSegment;
using streamtest::State;
using streamtest::Streaming;

namespace {

std::vector<std::pair<float, float>> timesOf(const std::vector<TranscriptionSegment>& segments) {
    std::vector<std::pair<float, float>> times;
    for (const auto& segment : segments) {
        times.emplace_back(segment.start, segment.end);
    }
    return times;
}

} // namespace

TEST(AudioStreamTranscriber, APassNeedsMoreThanOneSecondOfNewAudio) {
    Streaming streaming;
    streaming.start();
    streaming.record(16000);
    streaming.processor->step();
    EXPECT_EQ(streaming.log.latest().lastBufferSize, 0);
    EXPECT_EQ(streaming.log.latest().currentText, AudioStreamTranscriber::waitingForSpeechText);
    EXPECT_TRUE(streaming.stages.decoder->attempts().empty());

    streaming.source->deliver({0.0f});
    streaming.processor->step();
    EXPECT_EQ(streaming.log.latest().lastBufferSize, 16001);
    EXPECT_FALSE(streaming.stages.decoder->attempts().empty());
    streaming.stop();
    EXPECT_FALSE(streaming.log.latest().isRecording);
}

TEST(AudioStreamTranscriber, TheLastSegmentsStayUnconfirmedAndTheNextPassStartsAtTheConfirmedEnd) {
    Streaming streaming(2);
    streaming.start();
    streaming.record(40000);
    streaming.processor->step();
    State state = streaming.log.latest();
    // Half-second segments over 2.5 s: three confirmed, two left open.
    EXPECT_EQ(timesOf(state.confirmedSegments),
              (std::vector<std::pair<float, float>>{{0, 0.5f}, {0.5f, 1}, {1, 1.5f}}));
    EXPECT_EQ(timesOf(state.unconfirmedSegments), (std::vector<std::pair<float, float>>{{1.5f, 2}, {2, 2.5f}}));
    EXPECT_FLOAT_EQ(state.lastConfirmedSegmentEndSeconds, 1.5f);

    streaming.record(17600); // to 3.6 s
    streaming.processor->step();
    state = streaming.log.latest();
    // Decoding went on from the confirmed end: 1.5-2, 2-2.5, 2.5-3 confirmed, the rest left open.
    EXPECT_EQ(timesOf(state.confirmedSegments), (std::vector<std::pair<float, float>>{
                                                    {0, 0.5f}, {0.5f, 1}, {1, 1.5f}, {1.5f, 2}, {2, 2.5f}, {2.5f, 3}}));
    EXPECT_FLOAT_EQ(state.lastConfirmedSegmentEndSeconds, state.confirmedSegments.back().end);
    EXPECT_EQ(state.unconfirmedSegments.size(), 2u);
    streaming.stop();
}

TEST(AudioStreamTranscriber, NoMoreSegmentsThanLeftOpenConfirmsNothing) {
    Streaming streaming(5);
    streaming.start();
    streaming.record(40000);
    streaming.processor->step();
    const State state = streaming.log.latest();
    EXPECT_TRUE(state.confirmedSegments.empty());
    EXPECT_EQ(state.unconfirmedSegments.size(), 5u);
    EXPECT_EQ(state.lastConfirmedSegmentEndSeconds, 0);
    streaming.stop();
}

TEST(AudioStreamTranscriber, ARestartTranscribesTheNewRecordingFromItsStartAndKeepsTheConfirmedSegments) {
    Streaming streaming(2);
    streaming.start();
    streaming.record(40000);
    streaming.processor->step();
    const State first = streaming.log.latest();
    streaming.stop();

    streaming.start();
    State state = streaming.log.latest();
    EXPECT_EQ(state.lastBufferSize, 0);
    EXPECT_EQ(state.lastConfirmedSegmentEndSeconds, 0);
    EXPECT_TRUE(state.unconfirmedSegments.empty());
    EXPECT_EQ(state.confirmedSegments, first.confirmedSegments);

    // The same audio again: its confirmed run is already known, so only the end moves.
    streaming.record(40000);
    streaming.processor->step();
    state = streaming.log.latest();
    EXPECT_EQ(state.lastBufferSize, 40000);
    EXPECT_EQ(state.confirmedSegments, first.confirmedSegments);
    EXPECT_FLOAT_EQ(state.lastConfirmedSegmentEndSeconds, 1.5f);
    EXPECT_EQ(state.unconfirmedSegments, first.unconfirmedSegments);
    streaming.stop();
}

TEST(AudioStreamTranscriber, AShorterReportAtTheSameFallbackCountKeepsTheEarlierText) {
    Streaming streaming;
    streaming.start();
    streaming.record(40000);
    streaming.processor->step(); // five windows, each reporting from its start again
    streaming.log.waitForChange([](const State& oldState, const State& newState) {
        return newState.unconfirmedText.size() == oldState.unconfirmedText.size() + 1 &&
               newState.unconfirmedText.back() == oldState.currentText && !oldState.currentText.empty() &&
               newState.currentText == oldState.currentText; // the text itself changes next
    });
    streaming.stop();
}

TEST(AudioStreamTranscriber, AStartAfterAStopEndsTheLoopStillRunningForTheEarlierRecording) {
    Streaming streaming;
    streaming.start();
    streaming.transcriber->stopStreamTranscription(); // its loop is held in a step
    std::thread second([&] { streaming.transcriber->startStreamTranscription(); });
    streaming.log.waitFor([](const State& state) { return state.isRecording; }); // the stop came before
    streaming.processor->open();
    streaming.loop.join(); // without the new recording's loop beside it
    EXPECT_TRUE(streaming.log.latest().isRecording);
    streaming.transcriber->stopStreamTranscription();
    second.join();
}

TEST(AudioStreamTranscriber, WithTheVoiceGateSilenceIsNotTranscribedAndStaysNew) {
    LogCapture logs;
    Streaming streaming(2, true);
    streaming.start();
    streaming.record(40000);
    streaming.processor->step();
    const State state = streaming.log.latest();
    EXPECT_EQ(state.lastBufferSize, 0);
    EXPECT_EQ(state.currentText, AudioStreamTranscriber::waitingForSpeechText);
    EXPECT_EQ(state.bufferEnergy.size(), 25u);
    EXPECT_TRUE(streaming.stages.decoder->attempts().empty());
    EXPECT_FALSE(logs.linesStartingWith("No voice detected, skipping transcribe").empty());
    streaming.stop();
}

TEST(AudioStreamTranscriber, ChangesArriveOneAtATimeInOrderAndOneFieldEach) {
    Streaming streaming(1);
    std::atomic<int> inside = 0;
    std::atomic<bool> overlapped = false;
    std::vector<std::pair<State, State>> seen;
    std::weak_ptr<AudioStreamTranscriber> weakTranscriber;
    auto transcriber = std::make_shared<AudioStreamTranscriber>(
        streaming.stages.encoder, streaming.stages.mel, streaming.stages.seeker, streaming.stages.decoder,
        streaming.stages.tokenizer, streaming.processor, sonavex::DecodingOptions{}, 1, 0.3f, 60, false,
        [&](const State& oldState, const State& newState) {
            if (inside++ > 0) {
                overlapped = true;
            }
            seen.emplace_back(oldState, newState);
            // Capture buffers, progress reports and the loop all change the state meanwhile.
            std::this_thread::yield();
            if (newState.lastBufferSize >= 48000 && newState.isRecording && newState.currentText.empty()) {
                if (const auto self = weakTranscriber.lock()) {
                    self->stopStreamTranscription(); // would deadlock if called under the lock
                }
            }
            --inside;
        },
        streaming.source);
    weakTranscriber = transcriber;
    streaming.processor->open();
    std::thread loop([&] { transcriber->startStreamTranscription(); });
    while (!streaming.source->lastStream() || !streaming.source->lastStream()->isRunning()) {
        std::this_thread::yield();
    }
    for (int block = 0; block < 60 && streaming.source->deliver(std::vector<float>(1600, 0.01f)); ++block) {
    }
    loop.join();
    Streaming::releaseAndWait(std::move(transcriber));

    EXPECT_FALSE(overlapped);
    ASSERT_GT(seen.size(), 3u);
    for (size_t i = 0; i + 1 < seen.size(); ++i) {
        EXPECT_EQ(seen[i].second, seen[i + 1].first) << "change " << i;
    }
    EXPECT_TRUE(seen.front().second.isRecording);
    EXPECT_FALSE(seen.back().second.isRecording);
}

TEST(AudioStreamTranscriber, RefusedAccessIsLoggedAndStartsNothing) {
    LogCapture logs;
    Streaming streaming;
    streaming.source->setCanRecord(false);
    streaming.transcriber->startStreamTranscription();
    EXPECT_EQ(logs.linesStartingWith("Microphone access was not granted.").size(), 1u);
    EXPECT_TRUE(streaming.log.changes().empty());
    EXPECT_EQ(streaming.source->lastStream(), nullptr);
}

TEST(AudioStreamTranscriber, AStartWhileRecordingReturnsAtOnce) {
    Streaming streaming;
    streaming.start();
    const auto changes = streaming.log.changes().size();
    streaming.source->setCanRecord(false); // a second request would be refused and logged
    LogCapture logs;
    streaming.transcriber->startStreamTranscription();
    EXPECT_EQ(streaming.log.changes().size(), changes);
    EXPECT_TRUE(logs.linesStartingWith("Microphone access").empty());
    EXPECT_EQ(streaming.source->streams().size(), 1u);
    streaming.stop();
}

TEST(AudioStreamTranscriber, AFailedCaptureStartIsThrownAndLeavesItNotRecording) {
    Streaming streaming;
    streaming.source->failNextStart("no device");
    EXPECT_THROW(streaming.transcriber->startStreamTranscription(), std::runtime_error);
    const auto changes = streaming.log.changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].second.isRecording);
    EXPECT_FALSE(changes[1].second.isRecording);

    streaming.start(); // tries again instead of returning at once
    EXPECT_EQ(streaming.source->streams().size(), 2u);
    streaming.stop();
}

TEST(AudioStreamTranscriber, AFailedPassEndsTheLoopAndTheCapture) {
    LogCapture logs;
    Streaming streaming;
    // A decoder without a model fails every pass.
    auto transcriber = std::make_shared<AudioStreamTranscriber>(
        streaming.stages.encoder, streaming.stages.mel, streaming.stages.seeker,
        std::make_shared<sonavex::TextDecoder>(), streaming.stages.tokenizer, streaming.processor,
        sonavex::DecodingOptions{}, 2, 0.3f, 60, false, streaming.log.callback(), streaming.source);
    streaming.processor->open();
    streaming.record(0);
    std::thread loop([&] { transcriber->startStreamTranscription(); }); // returns normally
    streaming.log.waitFor([](const State& state) { return state.isRecording; });
    while (!streaming.source->lastStream() || !streaming.source->lastStream()->isRunning()) {
        std::this_thread::yield();
    }
    streaming.record(20000);
    loop.join();
    EXPECT_EQ(logs.linesStartingWith("Error: ").size(), 1u);
    EXPECT_FALSE(streaming.log.latest().isRecording);
    EXPECT_FALSE(streaming.source->lastStream()->isRunning());
}

TEST(AudioStreamTranscriber, ACancelledStartEndsItsSleepWithAnError) {
    LogCapture logs;
    Streaming streaming;
    streaming.processor->open();
    std::stop_source cancel;
    std::thread loop([&] { streaming.transcriber->startStreamTranscription(cancel.get_token()); });
    streaming.log.waitFor([](const State& state) { return state.currentText == "Waiting for speech..."; });
    cancel.request_stop();
    loop.join();
    EXPECT_EQ(logs.linesStartingWith("Error: ").size(), 1u);
    EXPECT_FALSE(streaming.log.latest().isRecording);
}

TEST(AudioStreamTranscriber, EarlyStopWatchesTheLatestTokensAndTheLogProbability) {
    sonavex::TranscriptionProgress progress;
    progress.tokens = std::vector<int64_t>(10, 7); // repeats compress well
    sonavex::DecodingOptions options;
    options.compressionRatioThreshold = std::nullopt;
    options.logProbThreshold = std::nullopt;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), false);
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 10), std::nullopt); // not more
    options.compressionRatioThreshold = 100.0f;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), std::nullopt);
    options.compressionRatioThreshold = 1.5f;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), false);

    options.compressionRatioThreshold = 100.0f;
    progress.avgLogprob = -2.0f;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), std::nullopt); // no threshold
    options.logProbThreshold = -1.0f;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), false);
    progress.avgLogprob = -0.5f;
    EXPECT_EQ(AudioStreamTranscriber::shouldStopEarly(progress, options, 9), std::nullopt); // never true
}
