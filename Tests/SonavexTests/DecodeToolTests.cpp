#include "Support/TestSupport.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

namespace {

std::string tokenizerFolder(const std::string& name) {
    return "--tokenizer '" + testsupport::dataPath("tokenizers/" + name).string() + "'";
}

} // namespace

TEST(DecodeTool, PromptOfTheRealVocabularies) {
    auto multilingual = runSonavex("decode prompt " + tokenizerFolder("whisper-multilingual") +
                                   " --options '{\"language\": \"ja\", \"promptTokens\": [1, 2, 50300, 3], "
                                   "\"prefixTokens\": [7, 50999, 8]}'");
    EXPECT_EQ(multilingual.status, 0);
    EXPECT_EQ(multilingual.output, "{\"prompt\":[50361,1,2,3,50258,50266,50359,50364,7,8]}\n");

    auto withoutOptions = runSonavex("decode prompt " + tokenizerFolder("whisper-multilingual"));
    EXPECT_EQ(withoutOptions.output, "{\"prompt\":[50258]}\n");

    auto englishOnly = runSonavex("decode prompt --english-only --options '{\"withoutTimestamps\": true}' " +
                                  tokenizerFolder("whisper-en"));
    EXPECT_EQ(englishOnly.status, 0);
    EXPECT_EQ(englishOnly.output.rfind("{\"prompt\":[50257,", 0), 0u) << englishOnly.output;
    EXPECT_EQ(englishOnly.output.find(','), englishOnly.output.rfind(','));
}

TEST(DecodeTool, RefusesIncompleteCommands) {
    EXPECT_EQ(runSonavex("decode prompt").status, 2);
    EXPECT_EQ(runSonavex("decode prefix " + tokenizerFolder("whisper-en")).status, 2);
    EXPECT_EQ(
        runSonavex("decode prompt --options '{\"language\": 3}' " + tokenizerFolder("whisper-en")).status, 1);
    auto missing = runSonavex("decode prompt --tokenizer /nonexistent/tokenizer");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("\"error\""), std::string::npos);
}
