#include "OrvaneCore/External/Tokenizers/Normalizers/BertNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/PrecompiledNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/PrependNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/ReplaceNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/StripAccentsNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/StripNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using namespace orvane;
using tokenizertest::json;

TEST(BertNormalizer, CleansSpacesCjkStripsAccentsAndLowercasesByDefault) {
    const BertNormalizer normalizer(json("{}"));
    EXPECT_EQ(normalizer.normalize("H\u00e9llo\t\u4e16\u754c"), "hello  \u4e16  \u754c ");
    // Controls, format characters, U+FFFD and NUL go; CR LF is one character and becomes one blank.
    EXPECT_EQ(normalizer.normalize(std::string("a\x01") + "b\u200bc\ufffdd" + std::string(1, '\0') + "e\r\nf"),
              "abcde f");
    // Only the combining diacritical marks block is stripped.
    EXPECT_EQ(normalizer.normalize("\u00c5\u3067"), "a\u3066\u3099");
}

TEST(BertNormalizer, StripAccentsFollowsLowercaseUnlessSet) {
    EXPECT_EQ(BertNormalizer(json(R"({"lowercase": false})")).normalize("H\u00e9"), "H\u00e9");
    EXPECT_EQ(BertNormalizer(json(R"({"lowercase": false, "strip_accents": true})")).normalize("H\u00e9"), "He");
    EXPECT_EQ(BertNormalizer(json(R"({"lowercase": true, "strip_accents": false})")).normalize("H\u00e9"),
              "h\u00e9");
}

TEST(PrecompiledNormalizer, DropsControlsBlanksSeparatorsAndKeepsTheFullwidthTilde) {
    const PrecompiledNormalizer normalizer;
    EXPECT_EQ(normalizer.normalize("a\u200bb\x07" "c\u2581d\ufeffe\nf"), "a bc d e f");
    EXPECT_EQ(normalizer.normalize("\uff71\uff5e\uff72"), "\u30a2\uff5e\u30a4");
    EXPECT_EQ(normalizer.normalize("a\uff5e\uff5eb"), "a\uff5eb");
    EXPECT_EQ(normalizer.normalize("\uff5ea\uff5e"), "a");
    EXPECT_EQ(normalizer.normalize("\ufb01 \uff21"), "fi A");
    EXPECT_EQ(normalizer.normalize(std::string(1, '\0')), std::string(1, '\0'));
}

TEST(Normalizers, StripAccentsStripAndPrepend) {
    EXPECT_EQ(StripAccentsNormalizer().normalize("\ufb01 \u00e9"), "fi \u00e9");
    EXPECT_EQ(StripNormalizer(json("{}")).normalize("  a b  "), "a b");
    EXPECT_EQ(StripNormalizer(json(R"({"strip_right": false})")).normalize(" \u3000a b \n"), "a b \n");
    EXPECT_EQ(StripNormalizer(json("{}")).normalize(" \t "), "");
    EXPECT_EQ(PrependNormalizer(json(R"({"prepend": "\u2581"})")).normalize(""), "\u2581");
    EXPECT_EQ(PrependNormalizer(json("{}")).normalize("a"), "a");
}

TEST(ReplaceNormalizer, ReplacesLiteralsOrExpressionMatches) {
    EXPECT_EQ(ReplaceNormalizer(json(R"({"pattern": {"String": " "}, "content": "\u2581"})")).normalize("a b c"),
              "a\u2581b\u2581c");
    EXPECT_EQ(ReplaceNormalizer(json(R"({"pattern": {"Regex": " +"}, "content": " "})")).normalize("a   b  c"),
              "a b c");
    EXPECT_EQ(ReplaceNormalizer(json(R"j({"pattern": {"Regex": "(a)(b)"}, "content": "$2$1"})j")).normalize("abab"),
              "baba");
    // "String" wins over "Regex"; no content or no pattern means no replacement.
    EXPECT_EQ(ReplaceNormalizer(json(R"({"pattern": {"String": ".", "Regex": "a"}, "content": "!"})"))
                  .normalize("a.a"),
              "a!a");
    EXPECT_EQ(ReplaceNormalizer(json(R"({"pattern": {"String": "a"}})")).normalize("a"), "a");
    EXPECT_EQ(ReplaceNormalizer(json(R"({"content": "x"})")).normalize("a"), "a");
    // A template naming a missing group leaves the text as it is rather than fail.
    EXPECT_EQ(ReplaceNormalizer(json(R"({"pattern": {"Regex": "a"}, "content": "$3"})")).normalize("abc"), "abc");
}

TEST(ReplaceNormalizer, AnExpressionThatDoesNotCompileFailsConstruction) {
    try {
        ReplaceNormalizer normalizer(json(R"({"pattern": {"Regex": "(a"}, "content": ""})"));
        FAIL() << "constructed";
    } catch (const TokenizerError& error) {
        EXPECT_STREQ(error.what(), "Tokenizer configuration mismatch: Cannot build regexp from (a");
    }
}
