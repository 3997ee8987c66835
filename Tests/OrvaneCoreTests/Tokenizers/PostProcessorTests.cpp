#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/BertProcessing.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/RobertaProcessing.h"
#include "OrvaneCore/External/Tokenizers/Strings/WhitespaceTrimming.h"
#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <gtest/gtest.h>

using namespace orvane;
using tokenizertest::json;
using Tokens = std::vector<std::string>;

namespace {

template <typename Processor> std::string constructionError(const std::string& configJson) {
    return tokenizertest::errorOf([&] { Processor processor(json(configJson)); });
}

} // namespace

TEST(BertProcessing, FramesOneOrTwoSequences) {
    const BertProcessing processor(json(R"({"sep": ["[SEP]", 102], "cls": ["[CLS]", 101]})"));
    EXPECT_EQ(processor.postProcess({"x"}, std::nullopt, true), (Tokens{"[CLS]", "x", "[SEP]"}));
    EXPECT_EQ(processor.postProcess({"x"}, Tokens{"y"}, true), (Tokens{"[CLS]", "x", "[SEP]", "y", "[SEP]"}));
    EXPECT_EQ(processor.postProcess({"x"}, Tokens{}, true), (Tokens{"[CLS]", "x", "[SEP]"}));
    EXPECT_EQ(processor.postProcess({"x"}, Tokens{"y"}, false), (Tokens{"x", "y"}));
    EXPECT_EQ(processor.sep().first, 102u);
}

TEST(RobertaProcessing, AlwaysFramesAndTrimsTokens) {
    const RobertaProcessing processor(json(R"({"sep": ["</s>", 2], "cls": ["<s>", 0]})"));
    EXPECT_EQ(processor.postProcess({"a"}, std::nullopt, false), (Tokens{"<s>", "a", "</s>"}));
    EXPECT_EQ(processor.postProcess({"a"}, Tokens{"b"}, true), (Tokens{"<s>", "a", "</s>", "</s>", "b", "</s>"}));
    EXPECT_EQ(processor.postProcess({"  a  "}, std::nullopt, true), (Tokens{"<s>", " a ", "</s>"}));
    const RobertaProcessing blanks(json(R"({"sep": ["</s>", 2], "cls": ["<s>", 0], "add_prefix_space": false})"));
    EXPECT_EQ(blanks.postProcess({" \ta\n "}, std::nullopt, true), (Tokens{"<s>", "a\n", "</s>"}));
    const RobertaProcessing untrimmed(json(R"({"sep": ["</s>", 2], "cls": ["<s>", 0], "trim_offset": false})"));
    EXPECT_EQ(untrimmed.postProcess({"  a"}, std::nullopt, true), (Tokens{"<s>", "  a", "</s>"}));
}

TEST(WhitespaceTrimming, KeepsOneWhitespaceCharacterAtEachEnd) {
    EXPECT_EQ(trimmingExtraSpaces("  hello  "), " hello ");
    EXPECT_EQ(trimmingExtraSpaces(" hello"), " hello");
    EXPECT_EQ(trimmingExtraSpaces("hello"), "hello");
    EXPECT_EQ(trimmingExtraSpaces(""), "");
    // A token made only of whitespace is one run, not two: it keeps its first character.
    EXPECT_EQ(trimmingExtraSpaces("\t  \n"), "\t");
    EXPECT_EQ(trimmingExtraSpaces("  "), " ");
    EXPECT_EQ(trimmingExtraSpaces("\n"), "\n");
}

TEST(PostProcessors, MissingSpecialTokensAreReportedInOrder) {
    const std::string prefix = "Tokenizer configuration mismatch: Missing ";
    EXPECT_EQ(constructionError<BertProcessing>(R"({"cls": ["[CLS]", 101]})"), prefix + "`sep` processor configuration");
    EXPECT_EQ(constructionError<BertProcessing>(R"({"sep": ["[SEP]", 102], "cls": "[CLS]"})"),
              prefix + "`cls` processor configuration");
    EXPECT_EQ(constructionError<RobertaProcessing>("{}"), prefix + "`sep` processor configuration");
}
