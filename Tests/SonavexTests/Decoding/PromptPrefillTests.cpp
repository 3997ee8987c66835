#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/TableTokenizer.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

using sonavex::DecodingInputs;
using sonavex::DecodingOptions;
using sonavex::WhisperError;

constexpr int64_t SOT = 50258, EN = 50259, JA = 50266, TRANSLATE = 50358, TRANSCRIBE = 50359, SOP = 50361,
                  NO_TIMESTAMPS = 50363, TIME_BEGIN = 50364;

// Text token ids first ... first + count - 1.
std::vector<int64_t> textTokens(int64_t first, int64_t count) {
    std::vector<int64_t> tokens(static_cast<size_t>(count));
    std::iota(tokens.begin(), tokens.end(), first);
    return tokens;
}

std::vector<int64_t> joined(std::initializer_list<std::vector<int64_t>> parts) {
    std::vector<int64_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class PromptPrefillTest : public testing::Test {
protected:
    void SetUp() override {
        decoder.setTokenizer(tokenizer);
        decoder.setIsModelMultilingual(true);
    }

    std::vector<int64_t> prompt(const std::optional<DecodingOptions>& options) {
        auto inputs = DecodingInputs::make({7}, 1, 224, 1);
        EXPECT_EQ(&decoder.prefillDecoderInputs(*inputs, options), inputs.get());
        return inputs->initialPrompt;
    }

    std::shared_ptr<TableTokenizer> tokenizer = std::make_shared<TableTokenizer>();
    sonavex::TextDecoder decoder;
};

} // namespace

TEST_F(PromptPrefillTest, FixedPartFollowsTheOptionsAndTheModel) {
    EXPECT_EQ(prompt(std::nullopt), (std::vector<int64_t>{SOT}));
    EXPECT_EQ(prompt(DecodingOptions()), (std::vector<int64_t>{SOT, EN, TRANSCRIBE, TIME_BEGIN}));
    EXPECT_EQ(prompt(DecodingOptions({.language = "ja"})),
              (std::vector<int64_t>{SOT, JA, TRANSCRIBE, TIME_BEGIN}));
    // A language the vocabulary lacks falls back to English.
    EXPECT_EQ(prompt(DecodingOptions({.language = "xx"})),
              (std::vector<int64_t>{SOT, EN, TRANSCRIBE, TIME_BEGIN}));
    EXPECT_EQ(prompt(DecodingOptions({.task = sonavex::DecodingTask::translate, .withoutTimestamps = true})),
              (std::vector<int64_t>{SOT, EN, TRANSLATE, NO_TIMESTAMPS}));

    // Token texts are looked up; a missing task token becomes the transcribe token, even for translation.
    tokenizer->remove("<|translate|>");
    tokenizer->remove("<|ja|>");
    tokenizer->add("<|transcribe|>", 50999);
    EXPECT_EQ(prompt(DecodingOptions({.task = sonavex::DecodingTask::translate, .language = "ja"})),
              (std::vector<int64_t>{SOT, EN, TRANSCRIBE, TIME_BEGIN}));
    EXPECT_EQ(prompt(DecodingOptions()), (std::vector<int64_t>{SOT, EN, 50999, TIME_BEGIN}));

    decoder.setIsModelMultilingual(false);
    EXPECT_EQ(prompt(DecodingOptions({.language = "ja"})), (std::vector<int64_t>{SOT, TIME_BEGIN}));
    EXPECT_EQ(prompt(DecodingOptions({.withoutTimestamps = true})),
              (std::vector<int64_t>{SOT, NO_TIMESTAMPS}));
}

TEST_F(PromptPrefillTest, EarlierTextKeepsItsLast111TokensWithoutSpecialOnes) {
    EXPECT_EQ(prompt(DecodingOptions({.promptTokens = textTokens(1, 150)})),
              joined({{SOP}, textTokens(40, 111), {SOT, EN, TRANSCRIBE, TIME_BEGIN}}));

    // The tail is cut first, then special ids are dropped: fewer than 111 remain.
    auto withSpecial = textTokens(1, 150);
    withSpecial[149] = 50300;
    withSpecial[0] = 50400;
    EXPECT_EQ(prompt(DecodingOptions({.promptTokens = withSpecial})),
              joined({{SOP}, textTokens(40, 110), {SOT, EN, TRANSCRIBE, TIME_BEGIN}}));

    // Nothing left: not even the start-of-previous token.
    EXPECT_EQ(prompt(DecodingOptions({.promptTokens = std::vector<int64_t>{50257, 50300, 50364}})),
              (std::vector<int64_t>{SOT, EN, TRANSCRIBE, TIME_BEGIN}));
    EXPECT_EQ(prompt(DecodingOptions({.promptTokens = std::vector<int64_t>{}})),
              (std::vector<int64_t>{SOT, EN, TRANSCRIBE, TIME_BEGIN}));

    decoder.setIsModelMultilingual(false);
    EXPECT_EQ(prompt(DecodingOptions({.promptTokens = textTokens(1, 3)})),
              joined({{SOP}, textTokens(1, 3), {SOT, TIME_BEGIN}}));
}

TEST_F(PromptPrefillTest, ForcedPrefixKeepsThePromptWithin222Tokens) {
    // A short prompt takes the last 112 prefix tokens.
    EXPECT_EQ(prompt(DecodingOptions({.prefixTokens = textTokens(1000, 150)})),
              joined({{SOT, EN, TRANSCRIBE, TIME_BEGIN}, textTokens(1038, 112)}));

    // 111 earlier tokens and the four fixed ones make 116: 106 prefix tokens fit.
    auto full =
        prompt(DecodingOptions({.promptTokens = textTokens(1, 111), .prefixTokens = textTokens(1000, 150)}));
    EXPECT_EQ(full,
              joined({{SOP}, textTokens(1, 111), {SOT, EN, TRANSCRIBE, TIME_BEGIN}, textTokens(1044, 106)}));
    EXPECT_EQ(full.size(), 222u);

    // A prompt of 111 tokens before the prefix takes 111.
    auto at111 =
        prompt(DecodingOptions({.promptTokens = textTokens(1, 106), .prefixTokens = textTokens(1000, 150)}));
    EXPECT_EQ(at111.size(), 222u);

    // Special ids are dropped from the prefix, the rest keep their order.
    EXPECT_EQ(prompt(DecodingOptions(
                  {.withoutTimestamps = true, .prefixTokens = std::vector<int64_t>{5, 50364, 6, 50257, 7}})),
              (std::vector<int64_t>{SOT, EN, TRANSCRIBE, NO_TIMESTAMPS, 5, 6, 7}));
}

TEST_F(PromptPrefillTest, OpensPositionZeroAndLeavesTheRestOfTheState) {
    auto inputs = DecodingInputs::make({}, 2, 224, 3);
    // As a finished window leaves it.
    inputs->cacheLength->setValue(0, 3);
    inputs->kvCacheUpdateMask->setValue(0, 0);
    inputs->kvCacheUpdateMask->setValue(3, 1);
    inputs->decoderKeyPaddingMask->setValue(0, -10000);
    inputs->decoderKeyPaddingMask->setValue(2, 0);
    inputs->keyCache->fill(0.5);

    decoder.prefillDecoderInputs(*inputs, std::nullopt);
    EXPECT_EQ(inputs->kvCacheUpdateMask->value(0), 1);
    EXPECT_EQ(inputs->decoderKeyPaddingMask->value(0), 0);
    EXPECT_EQ(inputs->cacheLength->value(0), 3);
    EXPECT_EQ(inputs->kvCacheUpdateMask->value(3), 1);
    EXPECT_EQ(inputs->decoderKeyPaddingMask->value(2), 0);
    EXPECT_EQ(inputs->keyCache->value({0, 1, 0, 5}), 0.5);

    // Without a tokenizer nothing is touched.
    sonavex::TextDecoder bare;
    auto untouched = DecodingInputs::make({7}, 1, 224, 1);
    untouched->kvCacheUpdateMask->setValue(0, 0);
    try {
        bare.prefillDecoderInputs(*untouched, DecodingOptions());
        ADD_FAILURE() << "prefilled without a tokenizer";
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::tokenizerUnavailable);
        EXPECT_EQ(error.message(), "Tokenizer is unavailable");
    }
    EXPECT_EQ(untouched->initialPrompt, std::vector<int64_t>{7});
    EXPECT_EQ(untouched->kvCacheUpdateMask->value(0), 0);
}
