#include "OrvaneCore/Extensions/ArrayExtensions.h"

#include <gtest/gtest.h>

using orvane::batched;
using orvane::matching;
using orvane::orderedSet;
using Names = std::vector<std::string>;

TEST(Glob, StarAndQuestionMarkCrossSlashes) {
    EXPECT_EQ(matching({"config.json", "sub/tokenizer.json", "model.bin"}, "*.json"),
              (Names{"config.json", "sub/tokenizer.json"}));
    EXPECT_EQ(matching({"a/b", "ab", "a//b"}, "a?b"), Names{"a/b"});
    EXPECT_EQ(matching({"openai_whisper-tiny/AudioEncoder.mlmodelc/weights/weight.bin", "other/x.bin"},
                       "openai_whisper-tiny/*"),
              Names{"openai_whisper-tiny/AudioEncoder.mlmodelc/weights/weight.bin"});
}

TEST(Glob, LeadingPeriodNeedsNoExplicitMatch) {
    EXPECT_EQ(matching({".gitattributes", "sub/.hidden", "README.md"}, "*"),
              (Names{".gitattributes", "sub/.hidden", "README.md"}));
    EXPECT_EQ(matching({".cache/huggingface/x.metadata"}, "*.metadata"),
              Names{".cache/huggingface/x.metadata"});
}

TEST(Glob, BracketsAndEscapes) {
    Names names{"model-3.bin", "model-x.bin", "model-.bin", "*.txt", "a.txt", "[x]"};
    EXPECT_EQ(matching(names, "model-[0-9].bin"), Names{"model-3.bin"});
    EXPECT_EQ(matching(names, "model-[!0-9].bin"), Names{"model-x.bin"});
    EXPECT_EQ(matching(names, "\\*.txt"), Names{"*.txt"});
    EXPECT_EQ(matching(names, "*.txt"), (Names{"*.txt", "a.txt"}));
    EXPECT_EQ(matching(names, "\\[x\\]"), Names{"[x]"});
}

TEST(Glob, EmptyInputsAndExactNames) {
    EXPECT_TRUE(matching({}, "*").empty());
    EXPECT_EQ(matching({"", "a"}, ""), Names{""});
    EXPECT_EQ(matching({"config.json", "config.json.bak", "xconfig.json"}, "config.json"),
              Names{"config.json"});
    // Order and repeats of the input are kept.
    EXPECT_EQ(matching({"b.json", "a.json", "b.json"}, "*.json"), (Names{"b.json", "a.json", "b.json"}));
}

TEST(Batched, SlicesAndEdgeSizes) {
    std::vector<int> seven{1, 2, 3, 4, 5, 6, 7};
    auto batches = batched(seven, 3);
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(batches[1], (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(batches[2], (std::vector<int>{7}));
    EXPECT_EQ(batched(seven, 7).size(), 1u);
    EXPECT_EQ(batched(seven, 100), (std::vector<std::vector<int>>{seven}));
    EXPECT_EQ(batched(seven, 1).size(), 7u);
    EXPECT_TRUE(batched(std::vector<int>{}, 3).empty());
    EXPECT_THROW(batched(seven, 0), std::invalid_argument);
    EXPECT_THROW(batched(seven, -2), std::invalid_argument);
}

TEST(OrderedSet, KeepsFirstOccurrencesInOrder) {
    EXPECT_EQ(orderedSet(std::vector<int>{3, 1, 3, 2, 1}), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(orderedSet(Names{"tiny", "base", "tiny", "small"}), (Names{"tiny", "base", "small"}));
    EXPECT_TRUE(orderedSet(std::vector<int>{}).empty());
}
