#include <gtest/gtest.h>

#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Sonavex/Core/Tokenizer/DominantLanguage.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"
#include "Support/TestSupport.h"

using sonavex::WhisperTokenizerWrapper;
using Words = std::vector<std::string>;
using Ids = std::vector<std::vector<int>>;

namespace {

const WhisperTokenizerWrapper& tokenizer(const std::string& name) {
    static std::map<std::string, std::unique_ptr<WhisperTokenizerWrapper>> loaded;
    auto& slot = loaded[name];
    if (!slot) {
        const testsupport::TemporaryDirectory mirror;
        const auto folder = testsupport::dataPath("tokenizers/" + name);
        slot = std::make_unique<WhisperTokenizerWrapper>(
            orvane::AutoTokenizerWrapper::fromModelFolder(folder, orvane::HubApiWrapper(mirror.path()), true), folder);
    }
    return *slot;
}

const WhisperTokenizerWrapper& multilingual() {
    return tokenizer("whisper-multilingual");
}

} // namespace

TEST(WhisperTokenizerWrapperTest, SpecialTokensOfTheRealTokenizers) {
    const auto& tiny = multilingual().specialTokens();
    EXPECT_EQ(tiny.endToken, 50257);
    EXPECT_EQ(tiny.specialTokenBegin, 50257);
    EXPECT_EQ(tiny.englishToken, 50259);
    EXPECT_EQ(tiny.noSpeechToken, 50362); // not in this vocabulary: the fixed id
    EXPECT_EQ(tiny.noTimestampsToken, 50363);
    EXPECT_EQ(tiny.startOfPreviousToken, 50361);
    EXPECT_EQ(tiny.startOfTranscriptToken, 50258);
    EXPECT_EQ(tiny.timeTokenBegin, 50364);
    EXPECT_EQ(tiny.transcribeToken, 50359);
    EXPECT_EQ(tiny.translateToken, 50358);
    EXPECT_EQ(tiny.whitespaceToken, 220);
    EXPECT_EQ(multilingual().allLanguageTokens().size(), 99u); // every code but "yue"
    EXPECT_TRUE(multilingual().allLanguageTokens().count(50259));
    EXPECT_TRUE(multilingual().allLanguageTokens().count(50266)); // <|ja|>
    EXPECT_EQ(multilingual().tokenizerFolder(), testsupport::dataPath("tokenizers/whisper-multilingual"));

    const auto& large = tokenizer("whisper-large-v3");
    EXPECT_EQ(large.specialTokens().noSpeechToken, 50363);
    EXPECT_EQ(large.specialTokens().noTimestampsToken, 50364);
    EXPECT_EQ(large.specialTokens().timeTokenBegin, 50365);
    EXPECT_EQ(large.specialTokens().startOfPreviousToken, 50362);
    EXPECT_EQ(large.specialTokens().transcribeToken, 50360);
    EXPECT_EQ(large.specialTokens().translateToken, 50359);
    EXPECT_EQ(large.allLanguageTokens().size(), 100u);
    EXPECT_TRUE(large.allLanguageTokens().count(50358)); // <|yue|>

    // The English-only export: the end of text one lower, no timestamp tokens.
    const auto& english = tokenizer("whisper-en");
    EXPECT_EQ(english.specialTokens().endToken, 50256);
    EXPECT_EQ(english.specialTokens().specialTokenBegin, 50256);
    EXPECT_EQ(english.specialTokens().startOfTranscriptToken, 50257);
    // No "<|0.00|>" here: the first timestamp is the id after "<|notimestamps|>", not the multilingual one.
    EXPECT_EQ(english.specialTokens().noTimestampsToken, 50362);
    EXPECT_EQ(english.specialTokens().timeTokenBegin, 50363);
    EXPECT_EQ(english.specialTokens().englishToken, 50258);
}

TEST(WhisperTokenizerWrapperTest, ConversionsPassThrough) {
    const auto& t = multilingual();
    EXPECT_EQ(t.convertTokenToId("<|ja|>"), 50266);
    EXPECT_EQ(t.convertTokenToId("<|no such token|>"), std::nullopt);
    EXPECT_EQ(t.convertIdToToken(50258), "<|startoftranscript|>");
    EXPECT_EQ(t.convertIdToToken(9999999), std::nullopt);
    EXPECT_EQ(t.decode({50258, 2425, 11, 1002, 50257}), "<|startoftranscript|> Hello, world<|endoftext|>");
    const std::vector<int> encoded = t.encode(" Hello");
    EXPECT_EQ(encoded.front(), 50258); // the tokenizer's own special tokens are added
    EXPECT_EQ(encoded.back(), 50257);
}

TEST(WhisperTokenizerWrapperTest, EnglishSplitsAtLeadingSpacesAndLonePunctuation) {
    // " Hello, world. It's a well-known test"
    const std::vector<int> text{2425, 11, 1002, 13, 467, 311, 257, 731, 12, 6861, 1500};
    const auto split = multilingual().splitToWordTokens(text);
    EXPECT_EQ(split.words, (Words{" Hello", ",", " world", ".", " It's", " a", " well", "-known", " test"}));
    EXPECT_EQ(split.wordTokens, (Ids{{2425}, {11}, {1002}, {13}, {467, 311}, {257}, {731}, {12, 6861}, {1500}}));

    // Special tokens each start a word of their own, wherever they stand.
    std::vector<int> framed{50258, 50259, 50359, 50364};
    framed.insert(framed.end(), text.begin(), text.begin() + 2);
    framed.insert(framed.end(), {50400, 50257});
    const auto specials = multilingual().splitToWordTokens(framed);
    EXPECT_EQ(specials.words, (Words{"<|startoftranscript|>", "<|en|>", "<|transcribe|>", "<|0.00|>", " Hello", ",",
                                     "<|0.72|>", "<|endoftext|>"}));

    const auto none = multilingual().splitToWordTokens({});
    EXPECT_TRUE(none.words.empty());
    EXPECT_TRUE(none.wordTokens.empty());
}

TEST(WhisperTokenizerWrapperTest, JapaneseSplitsIntoWholeCharacters) {
    // "こんにちは世界、元気ですか" and then "鬱", whose bytes span two tokens.
    std::vector<int> ids{38088, 24486, 1231, 14812, 25870, 30913, 32506, 109};
    auto split = multilingual().splitToWordTokens(ids);
    EXPECT_EQ(split.words, (Words{"こんにちは", "世界", "、", "元", "気", "ですか", "鬱"}));
    EXPECT_EQ(split.wordTokens.back(), (std::vector<int>{32506, 109}));

    // The bytes of "鬱" one token each: gathered until the character is whole.
    split = multilingual().splitToWordTokens({38088, 165, 105, 109});
    EXPECT_EQ(split.words, (Words{"こんにちは", "鬱"}));
    EXPECT_EQ(split.wordTokens, (Ids{{38088}, {165, 105, 109}}));

    // Cut short after two bytes, the text ends in one replacement character: the first byte stands for it,
    // the second completes no character and belongs to no word.
    split = multilingual().splitToWordTokens({38088, 165, 105});
    EXPECT_EQ(split.words, (Words{"こんにちは", "\uFFFD"}));
    EXPECT_EQ(split.wordTokens, (Ids{{38088}, {165}}));

    // A half character inside the text is a replacement character of the text itself: it is cut there.
    split = multilingual().splitToWordTokens({27311, 32506, 4767});
    EXPECT_EQ(split.words, (Words{"日本", "\uFFFD", "です"}));
    EXPECT_EQ(split.wordTokens, (Ids{{27311}, {32506}, {4767}}));
}

TEST(WhisperTokenizerWrapperTest, TheDominantScriptChoosesTheStrategy) {
    EXPECT_EQ(sonavex::dominantLanguageCode("今日はPythonのコードを書く"), "ja");
    EXPECT_EQ(sonavex::dominantLanguageCode("今天天气很好"), "zh");
    EXPECT_EQ(sonavex::dominantLanguageCode("ภาษาไทย"), "th");
    EXPECT_EQ(sonavex::dominantLanguageCode("안녕하세요 세계"), "ko");
    EXPECT_EQ(sonavex::dominantLanguageCode("Hello world, 日本"), std::nullopt);
    EXPECT_EQ(sonavex::dominantLanguageCode("12, 34!"), std::nullopt);

    // Thai has no spaces between words: whole characters, not one word for the run.
    const auto thai = multilingual().splitToWordTokens({839, 254, 4943, 839, 102, 4943, 8809, 11099, 7044});
    EXPECT_GT(thai.words.size(), 1u);
    std::string joined;
    for (const auto& word : thai.words) {
        joined += word;
    }
    EXPECT_EQ(joined, "ภาษาไทย");
}
