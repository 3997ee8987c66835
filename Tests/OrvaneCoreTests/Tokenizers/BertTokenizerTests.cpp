#include "OrvaneCore/External/Tokenizers/Models/BertTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using orvane::BertTokenizer;
using tokenizertest::json;
using Tokens = std::vector<std::string>;

namespace {

BertTokenizer withVocabulary(std::vector<std::string> words, bool doLowerCase = true, bool chinese = true) {
    BertTokenizer::Parts parts;
    parts.vocab.emplace_back("[UNK]", 0);
    for (std::size_t i = 0; i < words.size(); ++i) {
        parts.vocab.emplace_back(words[i], static_cast<orvane::TokenId>(i + 1));
    }
    parts.doLowerCase = doLowerCase;
    parts.tokenizeChineseChars = chinese;
    return BertTokenizer(std::move(parts));
}

} // namespace

TEST(BasicTokenizer, FoldsAccentsAndCaseAndSplitsAtBlanksAndPunctuation) {
    const orvane::BasicTokenizer lower(true);
    EXPECT_EQ(lower.tokenize("H\u00e9llo  W\u00f6rld"), (Tokens{"hello", "world"}));
    EXPECT_EQ(lower.tokenize("[MASK] [mask]"), (Tokens{"[MASK]", "[", "mask", "]"}));
    EXPECT_EQ(lower.tokenize("don't"), (Tokens{"don", "'", "t"}));
    EXPECT_EQ(lower.tokenize("a$b+c|d"), (Tokens{"a", "$", "b", "+", "c", "|", "d"}));
    // Only space separators and tabs split: a line feed stays inside the word.
    EXPECT_EQ(lower.tokenize("a\nb\tc\u3000d"), (Tokens{"a\nb", "c", "d"}));
    const orvane::BasicTokenizer keep(false);
    EXPECT_EQ(keep.tokenize("H\u00e9llo"), (Tokens{"H\u00e9llo"}));
}

TEST(BertTokenizer, SplitsWordsGreedilyIntoVocabularyPieces) {
    EXPECT_EQ(withVocabulary({"un", "##aff", "##able"}).tokenize("unaffable"), (Tokens{"un", "##aff", "##able"}));
    EXPECT_EQ(withVocabulary({"un", "##aff"}).tokenize("unaffable"), (Tokens{"[UNK]"}));
    EXPECT_EQ(withVocabulary({"a", "ab", "##c", "##bc"}).tokenize("abc"), (Tokens{"ab", "##c"}));
    const std::string hundred(100, 'a');
    EXPECT_EQ(withVocabulary({hundred}).tokenize(hundred), Tokens{hundred});
    EXPECT_EQ(withVocabulary({hundred + "a"}).tokenize(hundred + "a"), Tokens{"[UNK]"});
}

TEST(BertTokenizer, SetsCjkIdeographsApartOnlyWhenAsked) {
    EXPECT_EQ(withVocabulary({"\u4e2d", "\u6587"}).tokenize("\u4e2d\u6587"), (Tokens{"\u4e2d", "\u6587"}));
    EXPECT_EQ(withVocabulary({"\u4e2d\u6587"}, true, false).tokenize("\u4e2d\u6587"), Tokens{"\u4e2d\u6587"});
}

TEST(BertTokenizer, VocabularyComparesCanonicallyEquivalentTexts) {
    const BertTokenizer model = withVocabulary({"caf\u00e9"}, false);
    EXPECT_EQ(model.tokenize("cafe\u0301"), Tokens{"cafe\u0301"});
    EXPECT_EQ(model.convertTokenToId("cafe\u0301"), 1);
    EXPECT_EQ(model.convertIdToToken(1), "caf\u00e9");
    EXPECT_EQ(model.convertTokenToId("missing"), 0);
    EXPECT_EQ(model.convertIdToToken(99), std::nullopt);
}

TEST(BertTokenizer, ReadsItsConfigurationAndLaysAddedTokensOver) {
    const auto data = json(R"({"model": {"vocab": {"[UNK]": 100, "[CLS]": 101, "hello": 7, "bad": "x"}},
        "added_tokens": [{"id": 200, "content": "hello"}, {"id": "9", "content": "skipped"}, {"id": 300, "content": "[NEW]"}]})");
    const auto config = json(R"({"bos_token": {"content": "[CLS]"}, "eos_token": "[CLS]", "do_lower_case": false,
        "fuse_unk": true})");
    const BertTokenizer model(config, data, {{"[NEW]", 301}});
    EXPECT_EQ(model.convertTokenToId("hello"), 200);
    EXPECT_EQ(model.convertTokenToId("[NEW]"), 301);
    EXPECT_EQ(model.convertTokenToId("bad"), 100);
    EXPECT_EQ(model.convertTokenToId("skipped"), 100);
    EXPECT_EQ(model.bosToken(), std::nullopt); // only a plain string is read
    EXPECT_EQ(model.eosTokenId(), 101);
    EXPECT_EQ(model.unknownToken(), "[UNK]");
    EXPECT_EQ(model.unknownTokenId(), 100);
    EXPECT_TRUE(model.fuseUnknownTokens());
    EXPECT_FALSE(model.basicTokenizer().doLowerCase());
    EXPECT_THROW(BertTokenizer(config, json(R"({"model": {"vocab": [["a", 1]]}})"), {}), orvane::TokenizerError);
}
