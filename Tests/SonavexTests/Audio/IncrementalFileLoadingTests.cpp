#include "Platform/Audio/Files/AudioFileError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/LogCapture.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace {

using sonavex::AudioProcessor;
using sonavex::IncrementalFileChunk;
using sonavex::IncrementalFileStream;
using sonavex::WhisperError;

const sonavex::AudioInputOptions::ChannelMode kSum = sonavex::AudioInputOptions::SumChannels{};

/// Waits for a state another thread reaches; false if it never comes (the test then fails, not hangs).
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 30000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

/// A 16 kHz mono file: a ramp (every stretch told apart) at a level well above the detector's threshold,
/// with silence over the given second ranges.
std::vector<float> writeSpeechLike(const std::string& path, double seconds,
                                   const std::vector<std::pair<double, double>>& silences = {}) {
    auto samples = audiotest::rampPlanes(1, std::int64_t(seconds * 16000), 997)[0];
    for (auto [start, end] : silences) {
        std::fill(samples.begin() + std::ptrdiff_t(start * 16000),
                  samples.begin() + std::ptrdiff_t(end * 16000), 0.0f);
    }
    audiotest::writeAudioFile(path, audiotest::FileKind::wavF32, 16000, {samples});
    return samples;
}

std::string loadFailure(const std::function<void()>& call) {
    try {
        call();
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::loadAudioFailed);
        return error.message();
    }
    return "no error";
}

TEST(IncrementalFileLoading, BadArgumentsAreRefusedByTheCallInOrder) {
    testsupport::TemporaryDirectory folder;
    const auto path = (folder / "short.wav").string();
    writeSpeechLike(path, 1.0);
    const auto missing = (folder / "no such.wav").string();
    auto load = [&](const std::string& file, double seconds, int64_t buffered, int64_t maxLength) {
        return loadFailure([&] {
            AudioProcessor::loadFileIncrementally(file, kSum, seconds, buffered, maxLength, nullptr);
        });
    };
    for (double seconds : {0.0, -1.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_EQ(load(missing, seconds, 0, 0), "Incremental chunk duration must be greater than 0")
            << seconds;
    }
    EXPECT_EQ(load(missing, 1.0, 0, 0), "Incremental chunk buffer size must be greater than 0");
    EXPECT_EQ(load(missing, 1.0, 1, 0), "Audio file not found at path: " + missing);
    // A chunk length the chunker's padding swallows would never be cut.
    EXPECT_EQ(load(path, 1.0, 1, 16000), "Incremental max chunk length must be greater than 16000");
    EXPECT_EQ(load(path, 1.0, 1, 16001), "no error");
}

TEST(IncrementalFileLoading, AFileShorterThanAChunkIsOneChunkAtZero) {
    testsupport::TemporaryDirectory folder;
    const auto path = (folder / "short.wav").string();
    auto samples = writeSpeechLike(path, 2.5);
    auto stream = AudioProcessor::loadFileIncrementally(path, kSum, 1.0, 1, 480000, nullptr);
    auto chunk = stream.next();
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->audioChunk.seekOffsetIndex, 0);
    EXPECT_EQ(chunk->audioChunk.audioSamples, samples);
    chunk->completionSignal();
    // A signal with no chunk out changes nothing: the count never goes below 0.
    chunk->completionSignal();
    EXPECT_EQ(stream.activeChunks(), 0);
    EXPECT_FALSE(stream.next());
    EXPECT_FALSE(stream.next());
}

TEST(IncrementalFileLoading, ChunksCarryAbsoluteOffsetsAndNoneIsCutShortAtThePieceEdge) {
    testsupport::TemporaryDirectory folder;
    const auto path = (folder / "long.wav").string();
    // Short pauses at uneven places, some close to where the 12-second pieces end.
    std::vector<std::pair<double, double>> pauses;
    for (double at = 1.7; at < 60; at += 2.3) {
        pauses.emplace_back(at, at + 0.25);
    }
    pauses.emplace_back(11.8, 12.1);
    auto samples = writeSpeechLike(path, 60.0, pauses);
    const int64_t maxLength = 48000;

    auto stream = AudioProcessor::loadFileIncrementally(path, kSum, 12.0, 3, maxLength, nullptr);
    int64_t expected = 0;
    std::size_t count = 0;
    std::vector<std::size_t> lengths;
    while (auto chunk = stream.next()) {
        const auto& audio = chunk->audioChunk;
        EXPECT_EQ(audio.seekOffsetIndex, expected) << "chunk " << count;
        ASSERT_LE(audio.seekOffsetIndex + int64_t(audio.audioSamples.size()), int64_t(samples.size()));
        EXPECT_TRUE(std::equal(audio.audioSamples.begin(), audio.audioSamples.end(),
                               samples.begin() + audio.seekOffsetIndex))
            << "chunk " << count << " at " << audio.seekOffsetIndex;
        lengths.push_back(audio.audioSamples.size());
        expected = audio.seekOffsetIndex + int64_t(audio.audioSamples.size());
        chunk->completionSignal();
        ++count;
    }
    // Each window lay whole in what had been read, so the chunks are those of the whole file cut at
    // once: none was cut short where a piece happened to end.
    std::vector<std::size_t> whole;
    for (const auto& chunk : sonavex::VADAudioChunker().chunkAll(samples, maxLength, std::nullopt)) {
        whole.push_back(chunk.audioSamples.size());
    }
    EXPECT_GT(lengths.size(), 20u);
    EXPECT_EQ(lengths, whole);
}

TEST(IncrementalFileLoading, TheProducerWaitsAtTheBufferLimitUntilASlotIsSignalled) {
    testsupport::TemporaryDirectory folder;
    const auto path = (folder / "loud.wav").string();
    writeSpeechLike(path, 20.0);
    std::vector<IncrementalFileChunk> held;
    {
        auto stream = AudioProcessor::loadFileIncrementally(path, kSum, 5.0, 2, 48000, nullptr);
        ASSERT_TRUE(eventually([&] { return stream.isProducerWaiting(); }));
        EXPECT_EQ(stream.activeChunks(), 2);
        for (int i = 0; i < 2; ++i) {
            auto chunk = stream.next();
            ASSERT_TRUE(chunk);
            EXPECT_EQ(chunk->audioChunk.seekOffsetIndex, 48000 * i);
            held.push_back(std::move(*chunk));
        }
        EXPECT_TRUE(stream.isProducerWaiting());

        // One signal lets exactly one more chunk out; the producer then waits again.
        held[0].completionSignal();
        auto third = stream.next();
        ASSERT_TRUE(third);
        EXPECT_EQ(third->audioChunk.seekOffsetIndex, 96000);
        held.push_back(std::move(*third));
        ASSERT_TRUE(eventually([&] { return stream.isProducerWaiting(); }));
        EXPECT_EQ(stream.activeChunks(), 2);
        // The consumer leaves with the producer waiting: the stream's end stops it.
    }
    // Signals after the stream is gone are harmless.
    for (auto& chunk : held) {
        chunk.completionSignal();
    }
}

TEST(IncrementalFileLoading, AConsumerThatStopsEarlyStopsTheProducerAndNothingIsLogged) {
    testsupport::TemporaryDirectory folder;
    const auto path = (folder / "loud.wav").string();
    writeSpeechLike(path, 30.0);
    LogCapture log(orvane::Logging::LogLevel::error);
    for (int64_t buffered : {1, 100}) {
        auto stream = AudioProcessor::loadFileIncrementally(path, kSum, 3.0, buffered, 32000, nullptr);
        auto first = stream.next();
        ASSERT_TRUE(first);
        EXPECT_EQ(first->audioChunk.seekOffsetIndex, 0);
        // Leaving now, holding the chunk unsignalled (or, with many slots, while the producer runs on).
    }
    EXPECT_TRUE(log.lines().empty());

    // A consumer waiting on another thread can be stopped too.
    auto stream = AudioProcessor::loadFileIncrementally(path, kSum, 3.0, 1, 32000, nullptr);
    ASSERT_TRUE(stream.next());
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(stream.next(stop.get_token()), orvane::CancellationError);
}

TEST(IncrementalFileLoading, AFileThatEndsEarlyStreamsTheAudioItHoldsThenEnds) {
    testsupport::TemporaryDirectory folder;
    const auto cut = (folder / "cut.wav").string();
    auto samples = writeSpeechLike(cut, 10.0);
    // The header still states ten seconds; the last quarter second is gone.
    std::string bytes = testsupport::readFile(cut);
    testsupport::writeFile(cut, bytes.substr(0, bytes.size() - 16000));
    samples.resize(samples.size() - 4000);

    LogCapture log(orvane::Logging::LogLevel::info);
    auto stream = AudioProcessor::loadFileIncrementally(cut, kSum, 2.0, 10, 32000, nullptr);
    std::size_t end = 0;
    while (auto chunk = stream.next()) {
        const auto& audio = chunk->audioChunk;
        ASSERT_EQ(std::size_t(audio.seekOffsetIndex), end);
        EXPECT_TRUE(std::equal(audio.audioSamples.begin(), audio.audioSamples.end(),
                               samples.begin() + audio.seekOffsetIndex));
        end += audio.audioSamples.size();
        chunk->completionSignal();
    }
    EXPECT_EQ(end, samples.size());
    EXPECT_EQ(
        log.linesStartingWith("Warning: audio file " + cut + " ends early: it holds 156000 of the 160000"),
        std::vector<std::string>{"Warning: audio file " + cut +
                                 " ends early: it holds 156000 of the 160000 "
                                 "frames its header states; loading the 156000"});

    // A file that cannot be opened: the audio layer's error, out of the stream.
    const auto garbage = (folder / "garbage.wav").string();
    testsupport::writeFile(garbage, "not audio");
    auto broken = AudioProcessor::loadFileIncrementally(garbage, kSum, 2.0, 1, 32000, nullptr);
    EXPECT_THROW(broken.next(), audio::AudioFileError);
}

} // namespace
