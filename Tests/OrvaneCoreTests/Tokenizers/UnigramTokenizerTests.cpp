#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenLattice.h"
#include "OrvaneCore/External/Tokenizers/Models/UnigramTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

#include <gtest/gtest.h>

using orvane::TokenizerError;
using orvane::UnigramTokenizer;
using Pieces = std::vector<UnigramTokenizer::SentencePieceToken>;
using Tokens = std::vector<std::string>;

namespace {

UnigramTokenizer withPieces(Pieces pieces) {
    pieces.insert(pieces.begin(), {"<unk>", 0.0f});
    return UnigramTokenizer(std::move(pieces), 0, std::nullopt);
}

TokenizerError::Kind constructionError(const std::string& modelJson, const std::string& configJson = "{}") {
    const auto data =
        orvane::BomPreservingJsonReader::bomPreservingJsonObject(R"({"model": )" + modelJson + "}");
    const auto config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(configJson);
    try {
        UnigramTokenizer model(config, data, {});
    } catch (const TokenizerError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "construction succeeded for " << modelJson;
    return TokenizerError::Kind::tooLong;
}

} // namespace

TEST(UnigramTokenizer, BestPathPrefersTheHigherTotalAndTheLongerPieceOnATie) {
    EXPECT_EQ(withPieces({{"a", -1.0f}, {"b", -1.0f}, {"ab", -1.5f}}).tokenize("ab"), (Tokens{"ab"}));
    EXPECT_EQ(withPieces({{"a", -1.0f}, {"b", -1.0f}, {"ab", -2.5f}}).tokenize("ab"), (Tokens{"a", "b"}));
    EXPECT_EQ(withPieces({{"a", -1.0f}, {"b", -1.0f}, {"ab", -2.0f}}).tokenize("ab"), (Tokens{"ab"}));
    EXPECT_EQ(withPieces({{"a", -1.0f}}).tokenize(""), Tokens{});
}

TEST(UnigramTokenizer, UnknownCharactersKeepTheirTextAndMapToTheUnknownId) {
    const UnigramTokenizer model = withPieces({{"a", -2.0f}, {"b", -7.5f}, {"ab", -3.0f}});
    EXPECT_EQ(model.minScore(), -7.5f);
    EXPECT_EQ(model.unknownTokenScore(), -17.5f);
    EXPECT_EQ(model.tokenize("axab"), (Tokens{"a", "x", "ab"}));
    EXPECT_EQ(model.convertTokenToId("x"), 0);
    EXPECT_EQ(model.convertTokenToId("ab"), 3);
    // A character made of several code points is one unknown character, not several.
    EXPECT_EQ(model.tokenize("e\u0301\u0301"), (Tokens{"e\u0301\u0301"}));
}

TEST(UnigramTokenizer, ScoresAboveTheStartingMinimumGiveTheFixedUnknownScore) {
    const UnigramTokenizer model = UnigramTokenizer({{"<unk>", 1000.0f}, {"a", 1500.0f}}, 0, std::nullopt);
    EXPECT_EQ(model.minScore(), 999.0f);
    EXPECT_EQ(model.unknownTokenScore(), 989.0f);
}

TEST(UnigramTokenizer, APieceFoundInAnotherCanonicalFormKeepsItsId) {
    // The vocabulary holds the precomposed "é"; the text spells it with a combining accent.
    const UnigramTokenizer model = withPieces({{"\u00e9t\u00e9", -1.0f}, {"t", -1.0f}});
    const Tokens tokens = model.tokenize("e\u0301te\u0301");
    ASSERT_EQ(tokens, (Tokens{"e\u0301te\u0301"}));
    EXPECT_EQ(model.convertTokenToId(tokens[0]), 1);
}

TEST(UnigramTokenizer, SpecialTokensAndIdLookups) {
    const UnigramTokenizer model({{"<unk>", 0.0f}, {"</s>", 0.0f}, {" ", -1.0f}}, 0, "</s>");
    EXPECT_EQ(model.bosToken(), " ");
    EXPECT_EQ(model.bosTokenId(), 2);
    EXPECT_EQ(model.eosTokenId(), 1);
    EXPECT_TRUE(model.fuseUnknownTokens());
    EXPECT_EQ(model.convertIdToToken(1), "</s>");
    EXPECT_EQ(model.convertIdToToken(3), std::nullopt);
    EXPECT_EQ(model.convertIdToToken(-1), std::nullopt);
}

TEST(UnigramTokenizer, ReadsItsConfiguration) {
    const auto data = orvane::BomPreservingJsonReader::bomPreservingJsonObject(
        R"({"model": {"unk_id": 0, "vocab": [["<unk>", 0], ["a", -1.5], ["b", "ignored", 3]]}})");
    const auto config =
        orvane::BomPreservingJsonReader::bomPreservingJsonObject(R"({"eos_token": {"content": "a"}})");
    const UnigramTokenizer model(config, data, {{"added", 7}});
    EXPECT_EQ(model.vocab()[2].score, 3.0f);
    EXPECT_EQ(model.eosToken(), std::nullopt); // only a plain string is read
    EXPECT_EQ(model.eosTokenId(), std::nullopt);
    EXPECT_EQ(model.bosTokenId(), std::nullopt);
    EXPECT_EQ(model.convertTokenToId("added"), 0); // added tokens are not part of the model
}

TEST(UnigramTokenizer, RejectsMalformedVocabularies) {
    using Kind = TokenizerError::Kind;
    EXPECT_EQ(constructionError(R"({"unk_id": 0})"), Kind::missingVocab);
    // The vocabulary is read first, so its absence is what is reported when both are missing.
    EXPECT_EQ(constructionError("{}"), Kind::missingVocab);
    EXPECT_EQ(constructionError(R"({"vocab": 3})"), Kind::missingVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 0, "vocab": {"a": 1}})"), Kind::missingVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 0, "vocab": [["a"]]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 0, "vocab": [[1, 2.0]]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 0, "vocab": [["a", "b"]]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 0, "vocab": ["a"]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"vocab": [["a", 0.0]]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": 1, "vocab": [["a", 0.0]]})"), Kind::malformedVocab);
    EXPECT_EQ(constructionError(R"({"unk_id": -1, "vocab": [["a", 0.0]]})"), Kind::malformedVocab);
}

TEST(TokenLattice, NodesDescribeThemselvesAndLongPathsNeedNoRecursion) {
    orvane::TokenLattice lattice(std::vector<std::string>(200000, "a"), 1, 2);
    for (int i = 0; i < 200000; ++i) {
        lattice.insert(i, 1, -1.0f, 5);
    }
    const auto path = lattice.viterbi();
    ASSERT_EQ(path.size(), 200000u);
    EXPECT_EQ(path[1].description(), "TokenLatticeNode(tokenId: 5, startOffset: 1, length: 1, score: -1.0, "
                                     "prev: true, backtraceScore: -2.0)");
    EXPECT_THROW(lattice.insert(199999, 2, 0.0f, 0), std::out_of_range);
}
