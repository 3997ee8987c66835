// The four logits filters on small half-float logits: which ids each leaves at minus infinity.
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Text/LanguageLogitsFilter.h"
#include "Sonavex/Core/Text/SuppressBlankFilter.h"
#include "Sonavex/Core/Text/SuppressTokensFilter.h"
#include "Sonavex/Core/Text/TimestampRulesFilter.h"
#include "SonavexTests/LogCapture.h"
#include "SonavexTests/TableTokenizer.h"

#include <gtest/gtest.h>

using namespace sonavex;

namespace {

// A vocabulary of 60 ids: text below 50, the end token 50, special ids up to 54, timestamps from 55.
SpecialTokens smallSpecials() {
    SpecialTokens special;
    special.endToken = 50;
    special.specialTokenBegin = 50;
    special.startOfTranscriptToken = 51;
    special.transcribeToken = 52;
    special.translateToken = 53;
    special.noTimestampsToken = 54;
    special.timeTokenBegin = 55;
    special.whitespaceToken = 7;
    return special;
}
constexpr int64_t kVocabulary = 60;
constexpr int64_t SOT = 51, TRANSCRIBE = 52, NO_TIMESTAMPS = 54, T = 55;

std::shared_ptr<ml::MultiArray> logits(float value = 0.0f) {
    return std::make_shared<ml::MultiArray>(
        ml::MultiArray::filled({1, 1, kVocabulary}, ml::MultiArrayDataType::Float16, value));
}

// The ids at minus infinity.
std::vector<int64_t> suppressed(const ml::MultiArray& scores) {
    std::vector<int64_t> ids;
    for (int64_t id = 0; id < scores.count(); ++id) {
        if (scores.value(id) == -INFINITY) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<int64_t> range(int64_t first, int64_t end) {
    std::vector<int64_t> ids;
    for (int64_t id = first; id < end; ++id) {
        ids.push_back(id);
    }
    return ids;
}

std::vector<int64_t> joined(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    std::sort(a.begin(), a.end());
    return a;
}

// One text token and the end far likelier than the rest, so the probability rule stays quiet.
std::shared_ptr<ml::MultiArray> textLogits() {
    auto scores = logits();
    scores->setValue(10, 10.0);
    scores->setValue(50, 10.0);
    return scores;
}

std::vector<int64_t> afterTimestampRules(const std::vector<int64_t>& tokens, bool multilingual = true,
                                         std::shared_ptr<ml::MultiArray> scores = textLogits()) {
    TimestampRulesFilter filter(smallSpecials(), 3, std::nullopt, multilingual);
    return suppressed(*filter.filterLogits(scores, tokens));
}

} // namespace

TEST(LogitsFilters, TokenListsAndBlanks) {
    LogCapture log;
    SuppressTokensFilter tokens({-1, 20, 500});
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{
                  "SuppressTokensFilter: ignoring negative ids in suppressTokens; the -1 sentinel "
                  "(suppress default non-speech tokens) is not supported"}));
    auto scores = logits();
    EXPECT_EQ(tokens.filterLogits(scores, {}), scores); // the same array, changed in place
    EXPECT_EQ(suppressed(*scores), (std::vector<int64_t>{20}));
    SuppressTokensFilter quiet({3});
    EXPECT_EQ(log.lines().size(), 1u);

    SuppressBlankFilter blank(smallSpecials(), 4);
    for (std::size_t length : {3u, 5u}) {
        scores = logits();
        blank.filterLogits(scores, std::vector<int64_t>(length, 1));
        EXPECT_TRUE(suppressed(*scores).empty()) << length;
    }
    blank.filterLogits(scores, std::vector<int64_t>(4, 1));
    EXPECT_EQ(suppressed(*scores), (std::vector<int64_t>{7, 50}));
}

TEST(LogitsFilters, LanguageFilterLeavesOnlyLanguageTokens) {
    LanguageLogitsFilter filter({52, 53, 58, 99}, kVocabulary, 1);
    EXPECT_EQ(filter.nonLanguageTokenIndexes,
              (LanguageLogitsFilter::IdRuns{{0, 52}, {54, 58}, {59, kVocabulary}}));
    auto scores = logits();
    filter.filterLogits(scores, {});
    EXPECT_TRUE(suppressed(*scores).empty());
    filter.filterLogits(scores, {SOT});
    EXPECT_EQ(suppressed(*scores), joined(joined(range(0, 52), range(54, 58)), range(59, kVocabulary)));
    // A shorter logits array than the filter was built for is written only within its length.
    auto shorter =
        std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, 1, 10}, ml::MultiArrayDataType::Float16);
    EXPECT_EQ(suppressed(*filter.filterLogits(shorter, {SOT})), range(0, 10));
    EXPECT_THROW(LanguageLogitsFilter({}, -1, 0), std::invalid_argument);
    EXPECT_TRUE(LanguageLogitsFilter({}, 0, 0).nonLanguageTokenIndexes.empty());
}

TEST(LogitsFilters, TimestampsComeInPairsAndNeverDecrease) {
    const std::vector<int64_t> prompt{SOT, 1, TRANSCRIBE};
    const std::vector<int64_t> timestamps = range(T, kVocabulary);
    // Nothing sampled yet: only the no-timestamps token.
    EXPECT_EQ(afterTimestampRules(prompt), (std::vector<int64_t>{NO_TIMESTAMPS}));
    // A lone timestamp counts as a pair's second half: text or the end follows.
    EXPECT_EQ(afterTimestampRules(joined(prompt, {T + 2})), joined({NO_TIMESTAMPS}, timestamps));
    // Text then timestamp t: only the end or the same or a later timestamp.
    std::vector<int64_t> textThenTime = prompt;
    textThenTime.insert(textThenTime.end(), {10, T + 2});
    EXPECT_EQ(afterTimestampRules(textThenTime),
              joined(joined(range(0, 50), {NO_TIMESTAMPS}), range(T, T + 2)));
    // Timestamp t then text: no timestamp up to and including t.
    std::vector<int64_t> timeThenText = prompt;
    timeThenText.insert(timeThenText.end(), {T + 2, 10});
    EXPECT_EQ(afterTimestampRules(timeThenText), joined({NO_TIMESTAMPS}, range(T, T + 3)));
    std::vector<int64_t> pair = prompt;
    pair.insert(pair.end(), {T + 1, T + 2});
    EXPECT_EQ(afterTimestampRules(pair), joined({NO_TIMESTAMPS}, timestamps));
}

TEST(LogitsFilters, TimestampRulesStartAfterTheTaskToken) {
    // Multilingual without a task token among the first three: untouched.
    EXPECT_TRUE(afterTimestampRules({SOT, 1, 2, TRANSCRIBE, T}).empty());
    // The task token at position 0 lets the rules start at sampleBegin (3) all the same.
    EXPECT_EQ(afterTimestampRules({TRANSCRIBE, 1, 2, T}), joined({NO_TIMESTAMPS}, range(T, kVocabulary)));
    // English-only models start at sampleBegin.
    EXPECT_EQ(afterTimestampRules({SOT, 1, 2, T}, false), joined({NO_TIMESTAMPS}, range(T, kVocabulary)));
    EXPECT_TRUE(afterTimestampRules({SOT, 1}, false).empty());
}

TEST(LogitsFilters, LikelyTimestampsForceATimestamp) {
    const std::vector<int64_t> prompt{SOT, 1, TRANSCRIBE};
    // Five timestamps at 1.0 against text at 0: together likelier than any one text token.
    auto likely = logits();
    for (int64_t id = T; id < kVocabulary; ++id) {
        likely->setValue(id, 1.0);
    }
    EXPECT_EQ(afterTimestampRules(prompt, true, likely), joined(range(0, T), {}));
    // One text token as likely as all timestamps together (ln 5 above them): not strictly above.
    auto balanced = logits(-20.0f);
    balanced->setValue(3, double(ml::Float16(std::log(5.0f))));
    for (int64_t id = T; id < kVocabulary; ++id) {
        balanced->setValue(id, 0.0);
    }
    EXPECT_EQ(afterTimestampRules(prompt, true, balanced), (std::vector<int64_t>{NO_TIMESTAMPS}));
}

TEST(LogitsFilters, TheDecoderBuildsTheFiltersTheOptionsAskFor) {
    TableTokenizer tokenizer;
    TextDecoder decoder;
    auto extra = std::make_shared<SuppressTokensFilter>(std::vector<int64_t>{1});
    decoder.setLogitsFilters(std::vector<std::shared_ptr<LogitsFiltering>>{extra});
    const auto all = decoder.createLogitsFilters(
        DecodingOptions({.maxInitialTimestamp = 1.0f,
                         .suppressBlank = true,
                         .suppressTokens = std::vector<int64_t>{-1, 50257, 5, 50300}}),
        4, tokenizer);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], extra);
    EXPECT_EQ(std::dynamic_pointer_cast<SuppressBlankFilter>(all[1])->sampleBegin, 4);
    EXPECT_EQ(std::dynamic_pointer_cast<SuppressTokensFilter>(all[2])->suppressTokens,
              (std::vector<int64_t>{-1, 5}));
    const auto timestamps = std::dynamic_pointer_cast<TimestampRulesFilter>(all[3]);
    ASSERT_TRUE(timestamps);
    EXPECT_EQ(timestamps->maxInitialTimestampIndex, 50);
    EXPECT_FALSE(timestamps->isModelMultilingual);

    // Only special ids to suppress: the filter is built with none; no timestamps: no rules.
    decoder.setLogitsFilters(std::nullopt);
    const auto few = decoder.createLogitsFilters(
        DecodingOptions({.withoutTimestamps = true, .suppressTokens = std::vector<int64_t>{50257}}), 4,
        tokenizer);
    ASSERT_EQ(few.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<SuppressTokensFilter>(few[0])->suppressTokens.empty());
    EXPECT_TRUE(
        decoder.createLogitsFilters(DecodingOptions({.withoutTimestamps = true}), 4, tokenizer).empty());
    // A maximum initial timestamp without an index (beyond 64 bits) leaves the index out.
    const auto huge =
        decoder.createLogitsFilters(DecodingOptions({.maxInitialTimestamp = 1e30f}), 4, tokenizer);
    EXPECT_FALSE(std::dynamic_pointer_cast<TimestampRulesFilter>(huge.at(0))->maxInitialTimestampIndex);
}
