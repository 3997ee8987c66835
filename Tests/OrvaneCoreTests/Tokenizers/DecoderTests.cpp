#include "OrvaneCore/External/Tokenizers/Decoders/ByteFallbackDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/FuseDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/MetaspaceDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/StripDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/WordPieceDecoder.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using namespace orvane;
using tokenizertest::json;
using Tokens = std::vector<std::string>;

namespace {

std::string stripError(const std::string& configJson) {
    return tokenizertest::errorOf([&] { StripDecoder decoder(json(configJson)); });
}

} // namespace

TEST(WordPieceDecoder, JoinsPiecesAndCleansUpWhenAsked) {
    const WordPieceDecoder plain("##", false);
    EXPECT_EQ(plain.decode({"un", "##aff", "##able", "is"}), (Tokens{"un", "aff", "able", " is"}));
    EXPECT_EQ(plain.decode({"##a"}), Tokens{"##a"});
    const WordPieceDecoder cleaning(json(R"({"prefix": "##", "cleanup": true})"));
    EXPECT_EQ(cleaning.decode({"hello", ".", "do", "n't"}), (Tokens{"hello", ".", " do", "n't"}));
    EXPECT_EQ(cleaning.decode({"I do not know ."}), Tokens{"I don't know."});
    EXPECT_EQ(cleaning.decode({}), Tokens{});
    try {
        WordPieceDecoder decoder(json(R"({"cleanup": true})"));
        FAIL() << "constructed";
    } catch (const TokenizerError& error) {
        EXPECT_STREQ(error.what(),
                     "Tokenizer configuration mismatch: Missing `prefix` configuration for WordPieceDecoder.");
    }
}

TEST(ByteFallbackDecoder, DecodesByteRunsAndRepairsInvalidUtf8) {
    const ByteFallbackDecoder decoder;
    EXPECT_EQ(decoder.decode({"<0xE3>", "<0x81>", "<0x82>", "a"}), (Tokens{"\u3042", "a"}));
    EXPECT_EQ(decoder.decode({"<0xe3>", "<0x81>", "<0x82>"}), Tokens{"\u3042"});
    EXPECT_EQ(decoder.decode({"<0xZZ>", "<0x4>", "<0x41>x"}), (Tokens{"<0xZZ>", "<0x4>", "<0x41>x"}));
    EXPECT_EQ(decoder.decode({"<0xFF>"}), Tokens{"\ufffd"});
    // A cut sequence becomes one replacement character; the run after an ordinary token starts afresh.
    EXPECT_EQ(decoder.decode({"<0xE3>", "<0x81>", "b", "<0x41>"}), (Tokens{"\ufffd", "b", "A"}));
    EXPECT_EQ(decoder.decode({}), Tokens{});
}

TEST(Decoders, FuseStripAndMetaspace) {
    EXPECT_EQ(FuseDecoder().decode({"a", "b"}), Tokens{"ab"});
    EXPECT_EQ(FuseDecoder().decode({}), Tokens{""});
    EXPECT_EQ(StripDecoder(" ", 1, 0).decode({"  a ", " "}), (Tokens{" a ", ""}));
    EXPECT_EQ(StripDecoder(" ", 0, 2).decode({"a   "}), Tokens{"a "});
    EXPECT_EQ(MetaspaceDecoder(json(R"({"replacement": "\u2581", "add_prefix_space": true})"))
                  .decode({"\u2581Hello", "\u2581world"}),
              (Tokens{"Hello", " world"}));
    EXPECT_EQ(MetaspaceDecoder(true, "\u2581").decode({"Hello", "\u2581world"}), (Tokens{"Hello", " world"}));
    EXPECT_EQ(MetaspaceDecoder(false, "\u2581").decode({"\u2581Hello"}), Tokens{" Hello"});
    EXPECT_EQ(MetaspaceDecoder(json("{}")).decode({"a_b\u2581c"}), Tokens{"a b\u2581c"});
}

TEST(StripDecoder, ReportsTheFirstMemberThatCannotBeRead) {
    const std::string prefix = "Tokenizer configuration mismatch: Incorrect StripDecoder configuration: can't parse ";
    EXPECT_EQ(stripError(R"({"start": 1, "stop": 0})"), prefix + "`content`.");
    EXPECT_EQ(stripError(R"({"content": " ", "start": 1.5, "stop": 0})"), prefix + "`start`.");
    EXPECT_EQ(stripError(R"({"content": " ", "start": 1})"), prefix + "`stop`.");
    EXPECT_EQ(stripError(R"({"content": " ", "start": 1, "stop": 0})"), "built");
}
