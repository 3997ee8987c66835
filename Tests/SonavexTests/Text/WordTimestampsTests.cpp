// Word timings: the warping path with its tie rule, word starts, ends and probabilities, the length
// constraints, punctuation merging (the mended runs among them), the hand-over to the segments, and the
// whole step over a scripted decoder's alignment weights.
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/DecoderTestSupport.h"
#include "SonavexTests/LogCapture.h"

#include <cmath>
#include <gtest/gtest.h>

using sonavex::SegmentSeeker;
using sonavex::TranscriptionSegment;
using sonavex::WarpingPath;
using sonavex::WhisperError;
using sonavex::WordTiming;

namespace {

constexpr int64_t C = 102;

// The table tokenizer whose word split groups ids by the given sizes; ids beyond the groups get no word.
class GroupingTokenizer : public TableTokenizer {
public:
    std::vector<size_t> groups;

    sonavex::WordTokens splitToWordTokens(const std::vector<int>& tokenIds) const override {
        if (groups.empty()) {
            return TableTokenizer::splitToWordTokens(tokenIds);
        }
        sonavex::WordTokens split;
        size_t position = 0;
        for (size_t size : groups) {
            std::vector<int> ids(tokenIds.begin() + position, tokenIds.begin() + position + size);
            split.words.push_back(decode(ids));
            split.wordTokens.push_back(ids);
            position += size;
        }
        return split;
    }
};

GroupingTokenizer wordTokenizer() {
    GroupingTokenizer tokenizer;
    tokenizer.add(" a", decodertest::A);
    tokenizer.add(" b", decodertest::B);
    tokenizer.add(" c", C);
    return tokenizer;
}

ml::MultiArray matrix(std::vector<std::vector<float>> rows) {
    std::vector<float> values;
    for (const auto& row : rows) {
        values.insert(values.end(), row.begin(), row.end());
    }
    return ml::MultiArray::fromFloats({int64_t(rows.size()), int64_t(rows[0].size())}, values,
                                      ml::MultiArrayDataType::Float16);
}

WordTiming word(std::string text, float start, float end, std::vector<int64_t> tokens = {},
                float probability = 0.5f) {
    return {std::move(text), std::move(tokens), start, end, probability};
}

std::vector<std::string> texts(const std::vector<WordTiming>& words) {
    std::vector<std::string> result;
    for (const auto& timing : words) {
        result.push_back(timing.word);
    }
    return result;
}

template <class Call> void expectSegmentingFailed(Call call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::segmentingFailed);
        EXPECT_EQ(error.message().rfind(message, 0), 0u) << error.message();
    }
}

std::vector<WordTiming> merge(const std::vector<WordTiming>& words) {
    return SegmentSeeker().mergePunctuations(words, sonavex::Constants::defaultPrependPunctuations,
                                             sonavex::Constants::defaultAppendPunctuations);
}

} // namespace

TEST(WordTimestamps, WarpingPathPrefersTimeOnEqualCostsAndEndsAtTheFirstCell) {
    const SegmentSeeker seeker;
    EXPECT_EQ(seeker.dynamicTimeWarping(matrix({{1, 0, 0}, {0, 0, 1}})),
              (WarpingPath{{0, 1, 1, 1}, {0, 0, 1, 2}}));
    EXPECT_EQ(seeker.dynamicTimeWarping(matrix({{1, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 0, 1}})),
              (WarpingPath{{0, 1, 1, 1, 2, 2, 2}, {0, 0, 1, 2, 2, 3, 4}}));
    // Diagonal and upward moves equally cheap, the move along time dearer: still along time.
    EXPECT_EQ(seeker.dynamicTimeWarping(matrix({{0, 0}, {-5, 0}})), (WarpingPath{{0, 1, 1}, {0, 0, 1}}));
    EXPECT_EQ(seeker.dynamicTimeWarping(matrix({{0.5f}})), (WarpingPath{{0}, {0}}));

    expectSegmentingFailed(
        [&] {
            seeker.dynamicTimeWarping(ml::MultiArray({1, 2, 3}, ml::MultiArrayDataType::Float16));
        },
        "Invalid alignment matrix shape");
    expectSegmentingFailed(
        [&] { seeker.dynamicTimeWarping(ml::MultiArray({6}, ml::MultiArrayDataType::Float16)); },
        "Invalid alignment matrix shape");
}

TEST(WordTimestamps, BacktraceFollowsTheCodesAndRefusesATraceThatLeadsNowhere) {
    const SegmentSeeker seeker;
    EXPECT_EQ(seeker.backtrace({{-1, 2, 2}, {1, 0, 2}}), (WarpingPath{{0, 0}, {0, 1}}));
    EXPECT_EQ(seeker.backtrace({{-1}}), WarpingPath{});
    EXPECT_EQ(seeker.backtrace({}), WarpingPath{});
    // Without the borders a walk would never end or would leave the matrix.
    expectSegmentingFailed([&] { seeker.backtrace({{-1, 2}, {1, -1}}); }, "Trace matrix leads off");
    expectSegmentingFailed([&] { seeker.backtrace({{-1, 1}}); }, "Trace matrix leads off");
    expectSegmentingFailed([&] { seeker.backtrace({{-1, 2}, {}}); }, "Trace matrix leads off");
}

TEST(WordTimestamps, WordsStartWhereThePathEntersTheirFirstRowAndEndWhereItLeavesTheirLast) {
    GroupingTokenizer tokenizer = wordTokenizer();
    const std::vector<int64_t> ids{decodertest::A, decodertest::B, C};
    const ml::MultiArray weights = matrix({{1, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 0, 1}});
    const std::vector<float> logProbs{-0.5f, -1.0f, -2.0f};

    // Path text [0 1 1 1 2 2 2], time [0 0 1 2 2 3 4]: rows change at frames 0 and 2, the path ends at 4.
    std::vector<WordTiming> words = SegmentSeeker().findAlignment(ids, weights, logProbs, tokenizer);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], word(" a", 0.0f, 0.0f, {decodertest::A}, std::exp(-0.5f)));
    EXPECT_EQ(words[1], word(" b", 0.0f, 0.04f, {decodertest::B}, std::exp(-1.0f)));
    EXPECT_EQ(words[2], word(" c", 0.04f, 0.08f, {C}, std::exp(-2.0f)));

    // A word of two tokens: first token's start, last token's end, mean log-probability.
    tokenizer.groups = {2, 1};
    words = SegmentSeeker().findAlignment(ids, weights, logProbs, tokenizer);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0], word(" a b", 0.0f, 0.04f, {decodertest::A, decodertest::B}, std::exp(-0.75f)));

    // Ids the split leaves out get no word, and nothing past the split is read.
    tokenizer.groups = {1, 1};
    words = SegmentSeeker().findAlignment(ids, weights, {-0.5f, -1.0f}, tokenizer);
    EXPECT_EQ(texts(words), (std::vector<std::string>{" a", " b"}));

    // One word is no alignment at all.
    tokenizer.groups = {3};
    EXPECT_TRUE(SegmentSeeker().findAlignment(ids, weights, logProbs, tokenizer).empty());

    tokenizer.groups = {};
    expectSegmentingFailed(
        [&] {
            SegmentSeeker().findAlignment(ids, weights, {-0.5f, -1.0f}, tokenizer);
        },
        "Words cover 3 tokens, only 2 have log-probabilities");
    expectSegmentingFailed(
        [&] {
            SegmentSeeker().findAlignment(ids, matrix({{1, 0}, {0, 1}}), logProbs, tokenizer);
        },
        "Words cover 3 tokens, the alignment has 2");
}

TEST(WordTimestamps, DurationConstraintsTakeTheUpperMedianOfPositiveDurationsCappedAt0_7) {
    SegmentSeeker seeker;
    auto constraints = seeker.calculateWordDurationConstraints(
        {word("", 1, 2.2f), word("", 0, 0.2f), word("", 5, 4), word("", 2, 3), word("", 3, 3.4f)});
    EXPECT_FLOAT_EQ(constraints.median, 0.7f) << "1.0 capped";
    EXPECT_FLOAT_EQ(constraints.max, 1.4f);

    constraints = seeker.calculateWordDurationConstraints({word("", 0, 0.5f), word("", 1, 1.3f)});
    EXPECT_FLOAT_EQ(constraints.median, 0.5f);
    EXPECT_FLOAT_EQ(constraints.max, 1.0f);

    constraints = seeker.calculateWordDurationConstraints({word("", 1, 1), word("", 2, 2)});
    EXPECT_EQ(constraints.median, 0.0f);
    EXPECT_EQ(constraints.max, 0.0f);
    EXPECT_EQ(seeker.calculateWordDurationConstraints({}).max, 0.0f);
}

TEST(WordTimestamps, LongWordsAreCutBackAtSentenceEnds) {
    SegmentSeeker seeker;
    auto words = seeker.truncateLongWordsAtSentenceBoundaries(
        {word("Hello", 0, 1), word(".", 1, 3), word("Next", 3, 5), word("on", 5, 8), word("\u3002", 8, 8.5f)},
        1.4f);
    EXPECT_FLOAT_EQ(words[1].start, 1.0f);
    EXPECT_FLOAT_EQ(words[1].end, 2.4f) << "a long mark ends early";
    EXPECT_FLOAT_EQ(words[2].start, 3.6f) << "a long word after a mark starts late";
    EXPECT_FLOAT_EQ(words[2].end, 5.0f);
    EXPECT_FLOAT_EQ(words[3].start, 5.0f) << "a long word elsewhere stays";
    EXPECT_FLOAT_EQ(words[4].start, 8.0f) << "a short mark stays";

    // The first word is never cut, even a mark.
    words = seeker.truncateLongWordsAtSentenceBoundaries({word("?", 0, 5), word("x", 5, 5.1f)}, 1.0f);
    EXPECT_FLOAT_EQ(words[0].end, 5.0f);
    EXPECT_EQ(seeker.truncateLongWordsAtSentenceBoundaries({word("!", 0, 9)}, 1.0f)[0].end, 9.0f);
}

TEST(WordTimestamps, PunctuationJoinsItsNeighbour) {
    auto merged =
        merge({word(" (", 0, 1, {1}, 0.1f), word("Hello", 1, 2, {2}, 0.9f), word(")", 2, 3, {3}, 0.3f)});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], word(" (Hello)", 1, 2, {1, 2, 3}, 0.9f));

    merged = merge({word(" Hello", 0, 1, {1}), word(",", 1, 2, {2})});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], word(" Hello,", 0, 1, {1, 2}));

    // After a word ending in a space the comma stays apart, and alone it is dropped.
    EXPECT_EQ(texts(merge({word(" Hello ", 0, 1), word(",", 1, 2)})), (std::vector<std::string>{" Hello "}));
    EXPECT_EQ(texts(merge({word(",", 0, 1), word(" world", 1, 2)})), (std::vector<std::string>{" world"}));
    // An opening mark first in the list without a space before it is dropped.
    EXPECT_EQ(texts(merge({word("(", 0, 1), word("Hello", 1, 2)})), (std::vector<std::string>{"Hello"}));
    EXPECT_TRUE(merge({word(" -", 0, 1)}).empty());
    EXPECT_TRUE(merge({}).empty());
    // Marks inside a word or a word made of several marks in another order are words.
    EXPECT_EQ(texts(merge({word(" it's", 0, 1), word(" ,.", 1, 2)})),
              (std::vector<std::string>{" it's", " ,."}));
}

TEST(WordTimestamps, RunsOfPunctuationGatherOnOneWordInsteadOfReplacingIt) {
    auto merged = merge({word(" Hello", 0, 1, {1}, 0.9f), word(",", 1, 2, {2}), word("!", 2, 3, {3})});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], word(" Hello,!", 0, 1, {1, 2, 3}, 0.9f));

    merged = merge({word(" Hi", 0, 1, {1}), word(" (", 1, 2, {2}), word(" \"", 2, 3, {3}),
                    word("there", 3, 4, {4}, 0.8f), word("\"", 4, 5, {5}), word(")", 5, 6, {6}),
                    word(".", 6, 7, {7})});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0], word(" Hi", 0, 1, {1}));
    EXPECT_EQ(merged[1], word(" ( \"there\").", 3, 4, {2, 3, 4, 5, 6, 7}, 0.8f));

    // The same with the run first in the list.
    merged = merge({word(" (", 0, 1, {1}), word(" [", 1, 2, {2}), word("x", 2, 3, {3}, 0.7f)});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0], word(" ( [x", 2, 3, {1, 2, 3}, 0.7f));
}

TEST(WordTimestamps, WordsGoToTheirSegmentsRoundedAndMoveTheSegmentBounds) {
    GroupingTokenizer tokenizer = wordTokenizer();
    using decodertest::A, decodertest::B, decodertest::EOT, decodertest::T0, decodertest::T1;
    TranscriptionSegment first, silent, last;
    first.tokens = {T0, A, B, T1};
    first.start = 0.0f;
    first.end = 1.0f;
    silent.tokens = {T1, EOT};
    silent.start = 1.0f;
    silent.end = 1.5f;
    last.tokens = {C, EOT};
    last.start = 1.5f;
    last.end = 3.0f;
    const std::vector<WordTiming> merged{word("<|0.00|>", 0, 0.1f, {T0}),
                                         word(" a", 0.123f, 0.456f, {A}, 0.987f),
                                         word(" b<|endoftext|>", 0.5f, 0.55f, {B, EOT}),
                                         word(" c", 2.1f, 2.12f, {C}, 0.5f), word(" spare", 4, 5, {C})};

    // Seek 0.5 s in; median 0.4 (short: below 0.1), maximum 2.
    const auto segments = SegmentSeeker().updateSegmentsWithWordTimings({first, silent, last}, merged, 8000,
                                                                        0.0f, 0.4f, 2.0f, tokenizer);
    ASSERT_EQ(segments.size(), 3u);
    // The timestamp-only word is passed over; a word with special tokens keeps its text tokens; the short
    // " b" reaches back into the pause before it by at most half the median.
    ASSERT_TRUE(segments[0].words);
    ASSERT_EQ(segments[0].words->size(), 2u);
    EXPECT_EQ((*segments[0].words)[0], word(" a", 0.62f, 0.96f, {A}, 0.99f));
    EXPECT_EQ((*segments[0].words)[1], word(" b", 0.96f, 1.05f, {B}, 0.5f));
    EXPECT_FLOAT_EQ(segments[0].start, 0.62f);
    EXPECT_FLOAT_EQ(segments[0].end, 1.05f);

    EXPECT_EQ(segments[1].words, std::vector<WordTiming>{});
    EXPECT_FLOAT_EQ(segments[1].start, 1.0f);
    EXPECT_FLOAT_EQ(segments[1].end, 1.5f);

    // " c" (2.60–2.62) is short after the silent segment's end 1.5: it starts 0.2 earlier. The word the
    // segments do not need is left.
    ASSERT_EQ(segments[2].words->size(), 1u);
    EXPECT_EQ((*segments[2].words)[0], word(" c", 2.4f, 2.62f, {C}, 0.5f));
    EXPECT_FLOAT_EQ(segments[2].start, 2.4f);
    EXPECT_FLOAT_EQ(segments[2].end, 2.62f);

    EXPECT_TRUE(SegmentSeeker().updateSegmentsWithWordTimings({}, merged, 0, 0, 0.4f, 2, tokenizer).empty());
}

TEST(WordTimestamps, ALongFirstWordAfterAPauseLosesThePause) {
    GroupingTokenizer tokenizer = wordTokenizer();
    using decodertest::A, decodertest::B;
    TranscriptionSegment segment;
    segment.tokens = {A};
    segment.start = 3.0f;
    segment.end = 5.0f;

    // Ends 5.0 s after the last speech (4 × 0.5 = 2), lasts 1.5 > 1.0: starts 1.0 before its end.
    auto updated = SegmentSeeker().updateSegmentsWithWordTimings({segment}, {word(" a", 3.5f, 5.0f, {A})}, 0,
                                                                 0.0f, 0.5f, 1.0f, tokenizer);
    EXPECT_FLOAT_EQ((*updated[0].words)[0].start, 4.0f);
    EXPECT_FLOAT_EQ(updated[0].start, 4.0f);
    EXPECT_FLOAT_EQ(updated[0].end, 5.0f);
    // The last speech time bounds it (median 0.2: a pause of 0.8 is long).
    updated = SegmentSeeker().updateSegmentsWithWordTimings({segment}, {word(" a", 3.5f, 5.0f, {A})}, 0, 4.1f,
                                                            0.2f, 1.0f, tokenizer);
    EXPECT_FLOAT_EQ((*updated[0].words)[0].start, 4.1f);
    // No pause: the word keeps its start.
    updated = SegmentSeeker().updateSegmentsWithWordTimings({segment}, {word(" a", 3.5f, 5.0f, {A})}, 0, 4.5f,
                                                            0.2f, 1.0f, tokenizer);
    EXPECT_FLOAT_EQ((*updated[0].words)[0].start, 3.5f);

    // Two long words share a boundary near the second one's end.
    segment.tokens = {A, B};
    segment.end = 7.0f;
    updated = SegmentSeeker().updateSegmentsWithWordTimings(
        {segment}, {word(" a", 3.0f, 5.0f, {A}), word(" b", 5.0f, 7.0f, {B})}, 0, 0.0f, 0.5f, 1.0f,
        tokenizer);
    const auto& words = *updated[0].words;
    EXPECT_FLOAT_EQ(words[0].end, 6.0f);
    EXPECT_FLOAT_EQ(words[1].start, 6.0f);
    EXPECT_FLOAT_EQ(words[0].start, 5.0f);
    EXPECT_FLOAT_EQ(updated[0].start, 5.0f);
}

TEST(WordTimestamps, SegmentBoundsFarFromTheWordsMoveTheWordsInstead) {
    GroupingTokenizer tokenizer = wordTokenizer();
    using decodertest::A, decodertest::B;
    TranscriptionSegment segment;
    segment.tokens = {A, B};
    segment.start = 2.0f;
    segment.end = 3.0f;
    const auto updated = SegmentSeeker().updateSegmentsWithWordTimings(
        {segment}, {word(" a", 1.0f, 2.5f, {A}), word(" b", 2.5f, 5.0f, {B})}, 0, 1.0f, 0.5f, 3.0f,
        tokenizer);
    const auto& words = *updated[0].words;
    EXPECT_FLOAT_EQ(words[0].start, 2.0f) << "min(segment start, end − median)";
    EXPECT_FLOAT_EQ(words[1].end, 3.0f) << "max(segment end, start + median)";
    EXPECT_FLOAT_EQ(updated[0].start, 2.0f);
    EXPECT_FLOAT_EQ(updated[0].end, 3.0f);
}

TEST(WordTimestamps, ScriptedDecoderWindowGetsWordTimingsFromItsAlignmentWeights) {
    using namespace decodertest;
    // Each step's alignment row peaks at the frame of its rule: a at 5, b at 12, the timestamp at 20.
    ScriptedDecoder scripted({{T0, 3, A, 5}, {A, 4, B, 12}, {B, 5, T1, 20}, {T1, 6, EOT, 25}});
    auto state = scripted.inputs(sonavex::DecodingOptions());
    sonavex::GreedyTokenSampler sampler(ml::Float16(0.0f), EOT, sonavex::DecodingOptions());
    const sonavex::DecodingResult result = scripted.decoder.decodeText(
        ScriptedDecoder::encoderOutput(), *state, sampler, sonavex::DecodingOptions(), {});
    ASSERT_EQ(result.tokens, (std::vector<int64_t>{SOT, EN, TRANSCRIBE, T0, A, B, T1, EOT}));
    ASSERT_TRUE(result.cache && result.cache->alignmentWeights);

    SegmentSeeker seeker;
    const auto tokenizer = tableTokenizer();
    const auto [next, segments] = seeker.findSeekPointAndSegments(result, sonavex::DecodingOptions(), 0,
                                                                  16000, 480000, 16000, T0, EOT, *tokenizer);
    ASSERT_TRUE(segments);
    ASSERT_EQ(segments->size(), 1u);
    EXPECT_FLOAT_EQ((*segments)[0].end, 2.0f);

    LogCapture log;
    sonavex::TranscriptionTimings timings;
    const auto timed = seeker.addWordTimestamps(*segments, *result.cache->alignmentWeights, *tokenizer, 16000,
                                                480000, sonavex::Constants::defaultPrependPunctuations,
                                                sonavex::Constants::defaultAppendPunctuations, 1.0f,
                                                sonavex::DecodingOptions(), timings);
    // Rows change at frames 0, 0, 0, 0, 5, 12, 20 and the path ends at 29: a 0.00–0.10, b 0.10–0.24; the
    // median of the positive lengths (0.10, 0.14, 0.16, 0.18) is 0.16.
    ASSERT_EQ(timed.size(), 1u);
    ASSERT_TRUE(timed[0].words);
    ASSERT_EQ(timed[0].words->size(), 2u);
    EXPECT_EQ((*timed[0].words)[0], word("a", 1.0f, 1.1f, {A}, 1.0f));
    EXPECT_EQ((*timed[0].words)[1], word("b", 1.1f, 1.24f, {B}, 1.0f));
    EXPECT_FLOAT_EQ(timed[0].start, 1.0f);
    EXPECT_FLOAT_EQ(timed[0].end, 1.24f);
    const auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Alignment weights shape: [8, 30]"), lines.end());
}

TEST(WordTimestamps, WeightsAndLogProbabilitiesMustCoverTheSegmentsTokens) {
    using namespace decodertest;
    GroupingTokenizer tokenizer = wordTokenizer();
    TranscriptionSegment segment;
    segment.tokens = {T0, A, B, T1};
    segment.tokenLogProbs = {{{T0, 0.0f}}, {{A, -0.1f}}, {{B, -0.2f}}, {{T1, 0.0f}}};
    segment.end = 1.0f;
    sonavex::TranscriptionTimings timings;
    const auto addWords = [&](const TranscriptionSegment& s, const ml::MultiArray& weights) {
        return SegmentSeeker().addWordTimestamps({s}, weights, tokenizer, 0, 480000, "", "", 0.0f,
                                                 sonavex::DecodingOptions(), timings);
    };
    const ml::MultiArray weights({224, 30}, ml::MultiArrayDataType::Float16);

    EXPECT_TRUE(addWords(segment, weights)[0].words) << "covered";
    expectSegmentingFailed(
        [&] {
            addWords(segment, ml::MultiArray({3, 30}, ml::MultiArrayDataType::Float16));
        },
        "Alignment weights [3, 30] hold 3 rows, fewer than the 4 tokens");
    expectSegmentingFailed(
        [&] {
            addWords(segment, ml::MultiArray({224, 0}, ml::MultiArrayDataType::Float16));
        },
        "Alignment weights [224, 0] hold 0 rows");
    // Leading dimensions are rows too.
    EXPECT_TRUE(addWords(segment, ml::MultiArray({1, 4, 30}, ml::MultiArrayDataType::Float16))[0].words);

    TranscriptionSegment unscored = segment;
    unscored.tokenLogProbs[2] = {{A, -0.1f}}; // not the token's own
    expectSegmentingFailed([&] { addWords(unscored, weights); }, "Words cover 4 tokens, only 3");
    unscored.tokenLogProbs.resize(2);
    expectSegmentingFailed([&] { addWords(unscored, weights); }, "Words cover 3 tokens, only 2");

    // A split into fewer than two words times nothing: the segment keeps its bounds.
    tokenizer.groups = {4};
    const auto untimed = addWords(segment, weights);
    EXPECT_EQ(untimed[0].words, std::vector<WordTiming>{});
    EXPECT_EQ(untimed[0].end, 1.0f);
}
