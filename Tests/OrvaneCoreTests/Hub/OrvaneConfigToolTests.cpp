#include "Support/StandardOptions.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status;
    std::string output;
};

// Standard error is folded into the output so that the messages can be checked.
ToolRun orvaneConfig(const std::string& arguments) {
    ToolRun run{};
    run.status = testsupport::runCommand(
        testsupport::toolPath("orvane-config").string() + " " + arguments + " 2>&1", &run.output);
    return run;
}

std::string tokenizerFile(const std::string& folder, const std::string& file) {
    return "'" + testsupport::dataPath("tokenizers/" + folder + "/" + file).string() + "'";
}

std::string gpt2(const std::string& file) {
    return tokenizerFile("gpt2", file);
}

} // namespace

TEST(OrvaneTools, EveryProgramAndCommandAnswersHelpAndVersion) {
    testsupport::expectStandardOptions("orvane-config");
    testsupport::expectStandardOptions("orvane-hub",
                                       {"", "list", "snapshot", "head", "sha256", "metadata read"});
    testsupport::expectStandardOptions("orvane-tokenize");
}

TEST(OrvaneConfigTool, PrintsTheDescriptionOfAChainedLookup) {
    EXPECT_EQ(orvaneConfig(gpt2("tokenizer.json") + " model type").output, "\"BPE\"\n");
    EXPECT_EQ(orvaneConfig(gpt2("tokenizer.json") + " preTokenizer addPrefixSpace").output, "0\n");
    EXPECT_EQ(orvaneConfig(gpt2("tokenizer.json") + " model vocab hello").output, "31373\n");
    EXPECT_EQ(orvaneConfig(gpt2("tokenizer_config.json") + " tokenizerClass").output, "\"GPT2Tokenizer\"\n");
    // This file writes "no length limit" as an integer beyond 64 bits.
    EXPECT_EQ(
        orvaneConfig(tokenizerFile("whisper-large-v3", "tokenizer_config.json") + " modelMaxLength").output,
        "1e+30\n");
    ToolRun missing = orvaneConfig(gpt2("tokenizer_config.json") + " no such member");
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(missing.output, "null\n");
}

TEST(OrvaneConfigTool, FailsWithAReadableMessageOnAMissingOrMalformedFile) {
    testsupport::TemporaryDirectory folder;
    ToolRun missing = orvaneConfig("'" + (folder / "absent.json").string() + "' model");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.output.find("cannot read"), std::string::npos) << missing.output;
    EXPECT_NE(missing.output.find("No such file"), std::string::npos) << missing.output;

    testsupport::writeFile(folder / "broken.json", "{\"model\": {\"type\": \"BPE\",");
    ToolRun broken = orvaneConfig("'" + (folder / "broken.json").string() + "' model type");
    EXPECT_NE(broken.status, 0);
    EXPECT_NE(broken.output.find("is not valid JSON"), std::string::npos) << broken.output;

    testsupport::writeFile(folder / "overflow.json", "{\"x\": 1e400}");
    ToolRun overflow = orvaneConfig("'" + (folder / "overflow.json").string() + "' x");
    EXPECT_NE(overflow.status, 0);
    EXPECT_NE(overflow.output.find("1e400"), std::string::npos) << overflow.output;

    ToolRun folderGiven = orvaneConfig("'" + folder.path().string() + "'");
    EXPECT_NE(folderGiven.status, 0);
    EXPECT_NE(folderGiven.output.find("Is a directory"), std::string::npos) << folderGiven.output;

    EXPECT_NE(orvaneConfig("").status, 0);
}
