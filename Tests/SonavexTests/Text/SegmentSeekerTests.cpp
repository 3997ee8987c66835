// Segments of a window: the silence skip, the three endings, slices at timestamp pairs, segment times and
// the next seek in 32-bit floats.
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "SonavexTests/TableTokenizer.h"

#include <gtest/gtest.h>

using sonavex::DecodingOptions;
using sonavex::DecodingResult;
using sonavex::SegmentSeeker;
using sonavex::TranscriptionSegment;

namespace {

constexpr int64_t EOT = 50257, T0 = 50364, A = 100, B = 101, C = 102, D = 103;
constexpr int64_t kWindow = 480000;

int64_t timestamp(int hundredths) {
    return T0 + hundredths / 2;
}

TableTokenizer tokenizer() {
    TableTokenizer table;
    table.add(" a", A);
    table.add(" b", B);
    table.add(" c", C);
    table.add(" d", D);
    for (int hundredths : {100, 200, 250, 300, 420}) {
        table.add("<|" + std::to_string(hundredths / 100) + "." + std::to_string(hundredths % 100 / 10) +
                      std::to_string(hundredths % 10) + "|>",
                  static_cast<int>(timestamp(hundredths)));
    }
    return table;
}

DecodingResult result(std::vector<int64_t> tokens) {
    DecodingResult decoded;
    for (size_t i = 0; i < tokens.size(); ++i) {
        decoded.tokenLogProbs.push_back({{tokens[i], -0.1f * static_cast<float>(i)}});
    }
    decoded.tokens = std::move(tokens);
    decoded.avgLogProb = -0.25f;
    decoded.noSpeechProb = 0.125f;
    decoded.temperature = 0.2f;
    decoded.compressionRatio = 1.5f;
    return decoded;
}

DecodingOptions skippingSpecialTokens(bool skip = true) {
    DecodingOptions::Arguments arguments;
    arguments.skipSpecialTokens = skip;
    return DecodingOptions(arguments);
}

sonavex::SeekPointAndSegments seek(const DecodingResult& decoded, int64_t currentSeek = 0,
                                   const DecodingOptions& options = skippingSpecialTokens(),
                                   int64_t allSegmentsCount = 0, int64_t segmentSize = kWindow) {
    SegmentSeeker seeker;
    return seeker.findSeekPointAndSegments(decoded, options, allSegmentsCount, currentSeek, segmentSize,
                                           16000, T0, EOT, tokenizer());
}

struct Expected {
    float start;
    float end;
    std::vector<int64_t> tokens;
    std::string text;
};

void expectSegments(const std::vector<TranscriptionSegment>& segments,
                    const std::vector<Expected>& expected) {
    ASSERT_EQ(segments.size(), expected.size());
    for (size_t i = 0; i < segments.size(); ++i) {
        SCOPED_TRACE("segment " + std::to_string(i));
        EXPECT_FLOAT_EQ(segments[i].start, expected[i].start);
        EXPECT_FLOAT_EQ(segments[i].end, expected[i].end);
        EXPECT_EQ(segments[i].tokens, expected[i].tokens);
        EXPECT_EQ(segments[i].text, expected[i].text);
        EXPECT_FALSE(segments[i].words.has_value());
    }
}

} // namespace

TEST(SegmentSeeker, SilenceNeedsANoSpeechProbabilityAboveTheThresholdAndNoConfidentDecoding) {
    DecodingResult decoded = result({T0, A, timestamp(100), EOT});
    decoded.noSpeechProb = 0.8f;
    DecodingOptions::Arguments arguments;
    arguments.noSpeechThreshold = 0.6f;
    arguments.logProbThreshold = -1.0f;

    decoded.avgLogProb = -0.5f;
    EXPECT_TRUE(seek(decoded, 16000, DecodingOptions(arguments)).second.has_value()) << "rescued by log-prob";

    decoded.avgLogProb = -1.2f;
    const auto silent = seek(decoded, 16000, DecodingOptions(arguments), 0, 320000);
    EXPECT_EQ(silent.first, 16000 + 320000);
    EXPECT_FALSE(silent.second.has_value());

    decoded.avgLogProb = -1.0f; // not strictly above the log-prob threshold: still silent
    EXPECT_FALSE(seek(decoded, 0, DecodingOptions(arguments)).second.has_value());

    arguments.logProbThreshold = std::nullopt;
    decoded.avgLogProb = 0.0f;
    EXPECT_FALSE(seek(decoded, 0, DecodingOptions(arguments)).second.has_value()) << "nothing rescues it";

    decoded.noSpeechProb = 0.6f; // equal to the threshold
    EXPECT_TRUE(seek(decoded, 0, DecodingOptions(arguments)).second.has_value());

    arguments.noSpeechThreshold = std::nullopt;
    decoded.noSpeechProb = 1.0f;
    EXPECT_TRUE(seek(decoded, 0, DecodingOptions(arguments)).second.has_value());
}

TEST(SegmentSeeker, NoTimestampEndingEmitsTheTailAndSeeksAWholeWindow) {
    const DecodingResult decoded = result({T0, A, B, timestamp(200), timestamp(200), C, D, EOT});
    const auto [next, segments] = seek(decoded, 0, skippingSpecialTokens(), 7);
    EXPECT_EQ(next, kWindow);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{0.0f, 2.0f, {T0, A, B, timestamp(200)}, " a b"},
                               {2.0f, 2.0f, {timestamp(200), C, D, EOT}, " c d"}});

    // Ids continue from the count so far; figures and the matching log-probabilities are copied.
    EXPECT_EQ((*segments)[0].id, 7);
    EXPECT_EQ((*segments)[1].id, 8);
    const TranscriptionSegment& second = (*segments)[1];
    EXPECT_EQ(second.seek, 0);
    EXPECT_EQ(second.tokenLogProbs,
              (std::vector<std::map<int64_t, float>>{
                  {{timestamp(200), -0.4f}}, {{C, -0.5f}}, {{D, -0.6f}}, {{EOT, -0.7f}}}));
    EXPECT_EQ(second.avgLogprob, -0.25f);
    EXPECT_EQ(second.noSpeechProb, 0.125f);
    EXPECT_EQ(second.temperature, 0.2f);
    EXPECT_EQ(second.compressionRatio, 1.5f);
}

TEST(SegmentSeeker, SingleTimestampEndingClosesTheLastSegmentAndSeeksToItsTimestamp) {
    const DecodingResult decoded = result({T0, A, timestamp(100), timestamp(100), B, timestamp(300), EOT});
    const auto [next, segments] = seek(decoded, 32000);
    EXPECT_EQ(next, 32000 + 48000);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{2.0f, 3.0f, {T0, A, timestamp(100)}, " a"},
                               {3.0f, 5.0f, {timestamp(100), B, timestamp(300)}, " b"}});

    // Unless asked to skip them, the text spells out the special tokens.
    EXPECT_EQ((*seek(decoded, 0, skippingSpecialTokens(false)).second)[1].text, "<|1.00|> b<|3.00|>");
}

TEST(SegmentSeeker, WithoutAnEndingTheUnfinishedTailIsLeftForTheNextWindow) {
    const DecodingResult decoded =
        result({T0, A, timestamp(100), timestamp(100), B, timestamp(250), timestamp(250), C});
    const auto [next, segments] = seek(decoded);
    EXPECT_EQ(next, 40000);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{0.0f, 1.0f, {T0, A, timestamp(100)}, " a"},
                               {1.0f, 2.5f, {timestamp(100), B, timestamp(250)}, " b"}});
}

TEST(SegmentSeeker, WithoutATimestampPairTheWholeResultIsOneSegment) {
    // The token for 0.00 s gives no length: the window's own length is taken.
    auto [next, segments] = seek(result({T0, A, B, EOT}), 16000, skippingSpecialTokens(), 3, 160000);
    EXPECT_EQ(next, 16000 + 160000);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{1.0f, 11.0f, {T0, A, B, EOT}, " a b"}});
    EXPECT_EQ((*segments)[0].id, 3);
    EXPECT_EQ((*segments)[0].tokenLogProbs.size(), 4u);

    std::tie(next, segments) = seek(result({T0, A, timestamp(420), EOT}));
    EXPECT_EQ(next, kWindow);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{0.0f, 4.2f, {T0, A, timestamp(420), EOT}, " a"}});

    // Fewer than three tokens have no ending; a lone pair is a slice of its own.
    std::tie(next, segments) = seek(result({timestamp(100), timestamp(100)}), 16000);
    EXPECT_EQ(next, 16000 + 16000);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{2.0f, 2.0f, {timestamp(100)}, ""}});

    std::tie(next, segments) = seek(result({}));
    EXPECT_EQ(next, kWindow);
    ASSERT_TRUE(segments);
    expectSegments(*segments, {{0.0f, 30.0f, {}, ""}});
}

TEST(SegmentSeeker, SeekAdvancesAreTruncatedProductsOf32BitFloats) {
    // 5 steps × 0.02 × 16000 is just below 1600 in single precision; 1500 steps are exactly a window.
    EXPECT_EQ(seek(result({T0, A, timestamp(10), timestamp(10)})).first, 1599);
    EXPECT_EQ(seek(result({T0, A, timestamp(3000), timestamp(3000)})).first, 480000);
    EXPECT_EQ(seek(result({T0, A, timestamp(10), EOT}), 100).first, 100 + kWindow) << "no pair: whole window";
    EXPECT_EQ(seek(result({T0, A, timestamp(10), timestamp(10), B, timestamp(10), EOT}), 100).first, 1699);
}

TEST(SegmentSeeker, MissingLogProbabilitiesAreLeftOutInsteadOfRead) {
    DecodingResult decoded = result({T0, A, timestamp(100), timestamp(100), B, timestamp(300), EOT});
    decoded.tokenLogProbs.resize(4);
    const auto [next, segments] = seek(decoded);
    ASSERT_TRUE(segments);
    ASSERT_EQ(segments->size(), 2u);
    EXPECT_EQ((*segments)[0].tokenLogProbs.size(), 3u);
    EXPECT_EQ((*segments)[1].tokenLogProbs.size(), 1u);
    EXPECT_EQ((*segments)[1].tokens.size(), 3u);
}
