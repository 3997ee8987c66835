// Byte-pair encoding: reading merges and vocabulary, the merge rounds, byte fallback and the byte tables.

#include "OrvaneCore/External/Tokenizers/Models/BPETokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Strings/ByteTables.h"

#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <thread>

namespace {

using namespace tokenizertest;
using orvane::BPETokenizer;
using Strings = std::vector<std::string>;

BPETokenizer model(std::vector<Strings> merges, std::unordered_map<std::string, orvane::TokenId> vocab,
                   std::optional<std::string> unknown = std::nullopt) {
    BPETokenizer::Parts parts;
    parts.merges = std::move(merges);
    parts.vocab = std::move(vocab);
    parts.unknownToken = std::move(unknown);
    return BPETokenizer(std::move(parts));
}

TEST(BPETokenizer, MergeRoundsTakeTheLowestRankAndMergeLeftToRight) {
    auto bpe = model({{"a", "b"}, {"ab", "c"}}, {{"abc", 0}});
    EXPECT_EQ(bpe.bpe("abc"), "abc");
    EXPECT_EQ(bpe.bpe("cab"), "c ab");
    // Occurrences of one pair merge left to right without overlap.
    EXPECT_EQ(model({{"a", "a"}}, {}).bpe("aaa"), "aa a");
    EXPECT_EQ(model({{"a", "a"}}, {}).bpe("aaaa"), "aa aa");
    EXPECT_EQ(model({{"a", "a"}, {"aa", "aa"}}, {}).bpe("aaaaa"), "aaaa a");
    // A later, lower-ranked pair does not stop an earlier one from being applied first.
    EXPECT_EQ(model({{"b", "c"}, {"a", "b"}}, {}).bpe("abc"), "a bc");
    EXPECT_EQ(model({}, {}).bpe("x"), "x");
    EXPECT_EQ(model({}, {}).bpe(""), "");
}

// The merge loop as the rounds are defined, one symbol per letter: take the lowest-ranked pair present,
// merge all its occurrences left to right, repeat.
std::string mergedRoundByRound(const std::string& piece,
                               const std::map<std::pair<std::string, std::string>, int>& ranks) {
    Strings word;
    for (char letter : piece)
        word.emplace_back(1, letter);
    for (;;) {
        const std::pair<std::string, std::string>* bigram = nullptr;
        for (std::size_t i = 1; i < word.size(); ++i) {
            auto found = ranks.find({word[i - 1], word[i]});
            if (found != ranks.end() && (!bigram || found->second < ranks.at(*bigram)))
                bigram = &found->first;
        }
        if (!bigram)
            break;
        Strings next;
        for (std::size_t i = 0; i < word.size(); ++i) {
            bool merges = i + 1 < word.size() && word[i] == bigram->first && word[i + 1] == bigram->second;
            next.push_back(merges ? word[i] + word[i + 1] : word[i]);
            i += merges;
        }
        word = std::move(next);
    }
    std::string joined;
    for (const auto& symbol : word)
        joined += (joined.empty() ? "" : " ") + symbol;
    return joined;
}

TEST(BPETokenizer, MergesLikeTheRoundsOnRandomMergeLists) {
    // Random merge lists over three letters (pairs listed twice, merges that build one text two ways)
    // against random words: the fast merge loop must give exactly the rounds' symbols.
    std::mt19937 random(11);
    for (int list = 0; list < 1500; ++list) {
        Strings symbols{"a", "b", "c"};
        std::vector<Strings> merges;
        std::map<std::pair<std::string, std::string>, int> ranks;
        for (int rank = 0, count = 1 + static_cast<int>(random() % 12); rank < count; ++rank) {
            const std::string left = symbols[random() % symbols.size()];
            const std::string right = symbols[random() % symbols.size()];
            merges.push_back({left, right});
            ranks[{left, right}] = rank; // a pair listed twice keeps its later rank
            symbols.push_back(left + right);
        }
        const auto bpe = model(merges, {});
        for (int word = 0; word < 20; ++word) {
            std::string piece;
            for (auto length = random() % 12; length > 0; --length)
                piece += "abc"[random() % 3];
            ASSERT_EQ(bpe.bpe(piece), mergedRoundByRound(piece, ranks)) << "piece " << piece;
        }
    }
}

TEST(BPETokenizer, SymbolsAreUserPerceivedCharacters) {
    // "e" + combining acute is one character and is never split from its mark.
    auto bpe = model({{"e\xCC\x81", "x"}}, {});
    EXPECT_EQ(bpe.bpe("e\xCC\x81x"), "e\xCC\x81x");
    EXPECT_EQ(model({}, {}).bpe("e\xCC\x81y"), "e\xCC\x81 y");
    EXPECT_EQ(model({}, {}).bpe("a\r\nb"), "a \r\n b");
}

TEST(BPETokenizer, MergesCompareCanonicalFormsButTheVocabularyComparesExactText) {
    std::string composed = "\xC3\xA9";       // é
    std::string decomposed = "e\xCC\x81";    // e + U+0301
    auto bpe = model({{composed, "t"}}, {{composed + "t", 5}});
    EXPECT_EQ(bpe.mergeRank(decomposed, "t"), 0);
    EXPECT_EQ(bpe.bpe(decomposed + "t"), decomposed + "t");
    EXPECT_EQ(bpe.tokenize(composed + "t"), Strings{composed + "t"});
    // The decomposed merge result is not the vocabulary's text, so it falls back to bytes.
    EXPECT_EQ(bpe.tokenize(decomposed + "t"), (Strings{"<0x65>", "<0xCC>", "<0x81>", "<0x74>"}));
}

TEST(BPETokenizer, SymbolsOutsideTheVocabularyBecomeByteTokens) {
    auto bpe = model({}, {{"a", 1}});
    EXPECT_EQ(bpe.tokenize("\xC3\xA9"), (Strings{"<0xC3>", "<0xA9>"}));
    EXPECT_EQ(bpe.tokenize("a"), Strings{"a"});
    EXPECT_TRUE(bpe.tokenize("").empty());
    // A space inside a piece separates parts and is itself lost.
    EXPECT_EQ(bpe.tokenize("a a"), (Strings{"a", "a"}));
    // A part that is the unknown token's own text is spelled out in bytes as well.
    auto withUnknown = model({{"<", "u"}, {"<u", ">"}}, {{"<u>", 0}, {"a", 1}}, "<u>");
    EXPECT_EQ(withUnknown.tokenize("<u>"), (Strings{"<0x3C>", "<0x75>", "<0x3E>"}));
    EXPECT_EQ(withUnknown.unknownTokenId(), 0);
    EXPECT_EQ(withUnknown.convertTokenToId("zzz"), 0);
    EXPECT_EQ(withUnknown.convertIdToToken(1), "a");
    EXPECT_EQ(withUnknown.convertIdToToken(7), std::nullopt);
    EXPECT_EQ(BPETokenizer::hexaEncode("hi \n"), (Strings{"<0x68>", "<0x69>", "<0x20>", "<0x0A>"}));
}

TEST(BPETokenizer, ReadsMergesAsStringsOrPairs) {
    auto merges = BPETokenizer::mergesFromConfig(json(R"(["a b", ["c", "d"], "a b c", "a  b", "x", 7, ["e", 3, "f"]])"));
    ASSERT_TRUE(merges);
    EXPECT_EQ(*merges, (std::vector<Strings>{{"a", "b"}, {"c", "d"}, {"a", "b", "c"}, {"a", "", "b"}, {"x"}, {"e", "f"}}));
    EXPECT_FALSE(BPETokenizer::mergesFromConfig(json(R"({"a": 1})")));
    EXPECT_FALSE(BPETokenizer::mergesFromConfig(orvane::Config()));

    auto bpe = BPETokenizer(json("{}"), json(R"({"model": {"vocab": {}, "merges": ["a b", ["a", "c"], "a  b", "a b"]}})"),
                            {});
    EXPECT_EQ(bpe.mergeRank("a", "b"), 3); // listed twice: the later rank
    EXPECT_EQ(bpe.mergeRank("a", "c"), 1);
    EXPECT_EQ(bpe.mergeRank("a", ""), 2);
    EXPECT_EQ(bpe.mergeRank("b", "a"), std::nullopt);
}

TEST(BPETokenizer, ReadsVocabularyAndSpecialTokensFromTheConfiguration) {
    auto data = json(R"({"model": {"merges": [], "vocab": {"a": 1, "b": 2.5, "<s>": 3, "</s>": 4, "<unk>": 5}}})");
    auto config = json(R"({"bos_token": "<s>", "eos_token": {"content": "</s>"}, "unk_token": {"content": "<unk>"},
                           "fuse_unk": true})");
    BPETokenizer bpe(config, data, {{"a", 10}, {"new", 11}});
    EXPECT_EQ(bpe.convertTokenToId("a"), 10); // the added token's id wins
    EXPECT_EQ(bpe.convertTokenToId("new"), 11);
    EXPECT_EQ(bpe.convertTokenToId("b"), 5); // a non-integer id leaves the entry out
    EXPECT_EQ(bpe.bosToken(), "<s>");
    EXPECT_EQ(bpe.bosTokenId(), 3);
    EXPECT_EQ(bpe.eosTokenId(), 4);
    EXPECT_EQ(bpe.unknownToken(), "<unk>");
    EXPECT_EQ(bpe.unknownTokenId(), 5);
    EXPECT_TRUE(bpe.fuseUnknownTokens());

    BPETokenizer plain(json(R"({"fuse_unk": "maybe", "eos_token": "</missing>"})"), data, {});
    EXPECT_FALSE(plain.fuseUnknownTokens());
    EXPECT_EQ(plain.eosToken(), "</missing>");
    EXPECT_EQ(plain.eosTokenId(), std::nullopt);
    EXPECT_EQ(plain.unknownToken(), std::nullopt);
}

TEST(BPETokenizer, MissingMergesOrVocabularyFailConstruction) {
    try {
        BPETokenizer(json("{}"), json(R"({"model": {"vocab": {}}})"), {});
        FAIL() << "built without merges";
    } catch (const orvane::TokenizerError& error) {
        EXPECT_EQ(error.kind(), orvane::TokenizerError::Kind::mismatchedConfig);
        EXPECT_STREQ(error.what(), "Tokenizer configuration mismatch: BPETokenizer requires merges");
    }
    try {
        BPETokenizer(json("{}"), json(R"({"model": {"merges": [], "vocab": ["a"]}})"), {});
        FAIL() << "built without a vocabulary object";
    } catch (const orvane::TokenizerError& error) {
        EXPECT_STREQ(error.what(), "Vocabulary file is missing from the tokenizer configuration.");
    }
}

TEST(BPETokenizer, ConcurrentTokenizingAgreesWithSequential) {
    const auto& tokenizer = fixtureTokenizer("gpt2");
    std::string text = "The quick brown fox jumps over the lazy dog; 日本語のテキスト 12345 ";
    auto expected = tokenizer.encode(text);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (tokenizer.encode(text + std::to_string(t * 1000 + i)).size() < expected.size()) ++mismatches;
                if (tokenizer.encode(text) != expected) ++mismatches;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, 0);
}

TEST(MergeTable, FindsEveryPairThroughGrowthAndReplacement) {
    orvane::MergeTable table;
    EXPECT_EQ(table.find(0, 0), nullptr);
    for (int i = 0; i < 20000; ++i) table.set(i % 137, i, {i, i + 1});
    table.set(5, 5, {-7, 0});
    EXPECT_EQ(table.size(), 20000u);
    for (int i = 0; i < 20000; ++i) {
        const auto* merge = table.find(i % 137, i);
        ASSERT_NE(merge, nullptr) << i;
        EXPECT_EQ(merge->rank, i == 5 ? -7 : i);
        EXPECT_EQ(table.find(i, i % 137 + 20000), nullptr);
    }
    EXPECT_EQ(table.find(-1, 3), nullptr);
}

TEST(ByteTables, MapEveryByteToOnePrintableCharacterAndBack) {
    const auto& encoder = orvane::byteEncoder();
    const auto& decoder = orvane::byteDecoder();
    EXPECT_EQ(decoder.size(), 256u);
    EXPECT_EQ(encoder[0x20], "\xC4\xA0"); // U+0120 "Ġ"
    EXPECT_EQ(encoder[0x0A], "\xC4\x8A"); // U+010A "Ċ"
    EXPECT_EQ(encoder[0x00], "\xC4\x80"); // U+0100
    EXPECT_EQ(encoder[0xAD], "\xC5\x83"); // U+0143
    EXPECT_EQ(encoder['A'], "A");
    EXPECT_EQ(encoder[0xE9], "\xC3\xA9");
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(decoder.at(encoder[byte]), byte);
        EXPECT_EQ(orvane::byteDecoderByte(orvane::byteEncoderCodePoint(static_cast<std::uint8_t>(byte))), byte);
    }
    EXPECT_EQ(orvane::byteDecoderByte(0x20), std::nullopt);
    EXPECT_EQ(orvane::byteDecoderByte(0x144), std::nullopt);
}

} // namespace
