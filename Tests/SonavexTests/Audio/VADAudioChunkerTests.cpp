#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/ResultFixtures.h"
#include "Support/Audio/SpokenAudio.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace {

using sonavex::AudioChunk;
using sonavex::DecodingOptions;
using sonavex::TranscriptionResult;
using sonavex::VADAudioChunker;
using sonavex::WhisperError;

/// Loud everywhere (never silent for the default detector), with silence over the given ranges.
std::vector<float> loudWithSilences(std::size_t count,
                                    const std::vector<std::pair<std::size_t, std::size_t>>& silences = {}) {
    std::vector<float> samples(count, 0.5f);
    for (auto [start, end] : silences) {
        std::fill(samples.begin() + std::ptrdiff_t(start), samples.begin() + std::ptrdiff_t(end), 0.0f);
    }
    return samples;
}

/// Offset and length of each chunk; checks that every chunk holds the audio's samples at its offset.
std::vector<std::pair<int64_t, std::size_t>> layout(const std::vector<AudioChunk>& chunks,
                                                    const std::vector<float>& audio) {
    std::vector<std::pair<int64_t, std::size_t>> result;
    for (const auto& chunk : chunks) {
        EXPECT_TRUE(std::equal(chunk.audioSamples.begin(), chunk.audioSamples.end(),
                               audio.begin() + chunk.seekOffsetIndex))
            << "chunk at " << chunk.seekOffsetIndex;
        result.emplace_back(chunk.seekOffsetIndex, chunk.audioSamples.size());
    }
    return result;
}

DecodingOptions withClips(std::vector<float> clipTimestamps) {
    DecodingOptions::Arguments arguments;
    arguments.clipTimestamps = std::move(clipTimestamps);
    return DecodingOptions(arguments);
}

using Layout = std::vector<std::pair<int64_t, std::size_t>>;

TEST(VADAudioChunker, AudioThatFitsIsOneChunkWhateverTheClips) {
    VADAudioChunker chunker;
    std::vector<float> ramp(480000);
    std::iota(ramp.begin(), ramp.end(), 0.0f);
    // Not even a clip that starts past the audio is read.
    auto chunks = chunker.chunkAll(ramp, 480000, withClips({40.0f, 50.0f}));
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].seekOffsetIndex, 0);
    EXPECT_EQ(chunks[0].audioSamples, ramp);
    chunks = chunker.chunkAll({}, 480000, std::nullopt);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].seekOffsetIndex, 0);
    EXPECT_TRUE(chunks[0].audioSamples.empty());
    EXPECT_THROW(chunker.chunkAll(ramp, 0, std::nullopt), std::invalid_argument);
}

TEST(VADAudioChunker, WithoutSilenceEachWindowIsCutWholeAndATailUpToThePaddingIsDropped) {
    auto audio = loudWithSilences(1000000);
    EXPECT_EQ(layout(VADAudioChunker(16000).chunkAll(audio, 480000, std::nullopt), audio),
              (Layout{{0, 480000}, {480000, 480000}, {960000, 40000}}));
    // The last 40,000 samples are within a padding of 50,000: not worth a chunk.
    EXPECT_EQ(layout(VADAudioChunker(50000).chunkAll(audio, 480000, std::nullopt), audio),
              (Layout{{0, 480000}, {480000, 480000}}));
    // Exactly the padding left is dropped too; one sample more is kept.
    EXPECT_EQ(layout(VADAudioChunker(40000).chunkAll(audio, 480000, std::nullopt), audio).size(), 2u);
    EXPECT_EQ(layout(VADAudioChunker(39999).chunkAll(audio, 480000, std::nullopt), audio).size(), 3u);
}

TEST(VADAudioChunker, ACutFallsInTheMiddleOfTheEarliestLongestSilenceOfTheSecondHalf) {
    // Frames 10 to 19 of the first window's second half (which starts at 240,000) are silent.
    auto audio = loudWithSilences(1000000, {{240000 + 10 * 1600, 240000 + 20 * 1600}});
    LogCapture log;
    auto chunks = VADAudioChunker().chunkAll(audio, 480000, std::nullopt);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks[1].seekOffsetIndex, 264000);
    auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Found chunk from 0.00 to 16.50"), lines.end());

    // Two silences of five frames: the earlier wins; a longer one later wins over both. A silence in the
    // first half is never looked at.
    audio = loudWithSilences(1000000, {{100000, 200000}, {256000, 264000}, {320000, 328000}});
    EXPECT_EQ(VADAudioChunker().chunkAll(audio, 480000, std::nullopt)[1].seekOffsetIndex, 256000 + 2 * 1600);
    audio = loudWithSilences(1000000, {{256000, 264000}, {320000, 329600}});
    EXPECT_EQ(VADAudioChunker().chunkAll(audio, 480000, std::nullopt)[1].seekOffsetIndex, 320000 + 3 * 1600);

    // Later windows count their frames from their own middle: the second window [480000, 960000) is cut
    // in the middle of its frames 2 and 3, counted from 720,000.
    audio = loudWithSilences(1000000, {{720000 + 3200, 720000 + 6400}});
    chunks = VADAudioChunker().chunkAll(audio, 480000, std::nullopt);
    EXPECT_EQ(layout(chunks, audio), (Layout{{0, 480000}, {480000, 244800}, {724800, 275200}}));
}

TEST(VADAudioChunker, ClipsLimitTheCuttingAndOneStartingPastTheAudioFails) {
    auto audio = loudWithSilences(1000000);
    // Clips [5 s, 40 s) and [50 s, end): each is cut on its own.
    EXPECT_EQ(layout(VADAudioChunker().chunkAll(audio, 480000, withClips({5.0f, 40.0f, 50.0f})), audio),
              (Layout{{80000, 480000}, {560000, 80000}, {800000, 200000}}));
    // A clip end past the audio is the audio's end.
    EXPECT_EQ(layout(VADAudioChunker().chunkAll(audio, 480000, withClips({50.0f, 600.0f})), audio),
              (Layout{{800000, 200000}}));
    // A clip no longer than the padding yields nothing.
    EXPECT_TRUE(VADAudioChunker().chunkAll(audio, 480000, withClips({10.0f, 11.0f})).empty());

    // A clip starting at or past the audio's end fails, also when an odd last time gives it the audio's
    // end as its own (nothing to cut).
    LogCapture log;
    for (auto clips : {std::vector<float>{70.0f, 90.0f}, std::vector<float>{62.5f, 63.6f},
                       std::vector<float>{-2.0f, 3.0f}, std::vector<float>{62.5f}, std::vector<float>{70.0f},
                       std::vector<float>{0.0f, 10.0f, 80.0f}}) {
        try {
            VADAudioChunker().chunkAll(audio, 480000, withClips(clips));
            ADD_FAILURE() << "no error for clip " << clips[0];
        } catch (const WhisperError& error) {
            EXPECT_EQ(error.kind(), WhisperError::Kind::audioProcessingFailed);
            EXPECT_EQ(error.message(), "startIndex is outside the buffer size");
        }
    }
}

TEST(VADAudioChunker, ChunksOfSpeechEndInPausesAndCoverEverySpokenPhrase) {
    auto audio = audiotest::speakWithPauses(
        {"one two three four", "five six seven eight", "nine ten eleven twelve", "thirteen fourteen"}, 16000);
    const int64_t maxLength = 48000;
    auto chunks = VADAudioChunker().chunkAll(audio.samples, maxLength, std::nullopt);
    ASSERT_GT(chunks.size(), 2u);
    int64_t expectedStart = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].seekOffsetIndex, expectedStart);
        EXPECT_LE(int64_t(chunks[i].audioSamples.size()), maxLength);
        expectedStart += int64_t(chunks[i].audioSamples.size());
        if (i + 1 < chunks.size()) {
            // A cut in the second half of its window, on a silent frame.
            EXPECT_GE(int64_t(chunks[i].audioSamples.size()), maxLength / 2);
        }
    }
    // Whatever is left after the last chunk is at most the padding.
    EXPECT_LE(int64_t(audio.samples.size()) - expectedStart, 16000);
}

std::shared_ptr<TranscriptionResult> resultWith(std::vector<sonavex::TranscriptionSegment> segments) {
    return TranscriptionResult::make("text", std::move(segments), "en", {});
}

TEST(VADAudioChunker, ResultsMoveToTheWholeAudioAndFailedChunksAreLeftOut) {
    using Outcome = sonavex::AudioChunking::ChunkResults;
    VADAudioChunker chunker;
    auto first = resultWith({makeSegment(1.0f, 2.0f, "a")});
    auto withWords =
        makeSegment(0.5f, 1.5f, "b", std::vector<sonavex::WordTiming>{{"b", {7}, 0.5f, 1.5f, 0.9f}});
    withWords.seek = 100;
    auto second = resultWith({withWords});
    auto third = resultWith({makeSegment(0.0f, 1.0f, "c")});
    std::vector<AudioChunk> chunks{{0, {}}, {240000, {}}, {480000, {}}, {720000, {}}};
    std::vector<Outcome> outcomes{Outcome::success({first}),
                                  Outcome::failure(std::make_exception_ptr(std::runtime_error("model gone"))),
                                  Outcome::success({second, third}), Outcome::success({})};

    LogCapture log;
    auto moved = chunker.updateSeekOffsetsForResults(outcomes, chunks);
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_EQ(moved[0], first);
    EXPECT_EQ(moved[1], second);
    EXPECT_EQ(moved[2], third);
    EXPECT_EQ(first->seekTime(), 0.0f);
    EXPECT_EQ(first->segments()[0].start, 1.0f);

    auto segment = second->segments()[0];
    EXPECT_EQ(second->seekTime(), 30.0f);
    EXPECT_EQ(segment.seek, 480100);
    EXPECT_EQ(segment.start, 30.5f);
    EXPECT_EQ(segment.end, 31.5f);
    EXPECT_EQ((*segment.words)[0].start, 30.5f);
    EXPECT_EQ((*segment.words)[0].end, 31.5f);
    EXPECT_EQ(segment.text, "b");
    EXPECT_EQ(third->segments()[0].end, 31.0f);

    auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Error transcribing chunk 1: model gone"), lines.end());
    EXPECT_THROW(chunker.updateSeekOffsetsForResults(outcomes, {}), std::invalid_argument);
}

} // namespace
