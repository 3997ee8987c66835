#include "SonavexTests/CheckpointFixture.h"
#include "SonavexTests/ToolRunner.h"
#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

// One command turns a checkpoint on the hub into a model folder.
TEST(SonavexModelsTool, ConvertsACheckpointFromTheHub) {
    testsupport::TemporaryDirectory temporary;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", temporary.path().string());
    for (const char* name : {"HF_TOKEN", "HUGGING_FACE_HUB_TOKEN", "HF_TOKEN_PATH", "HF_HOME", "HF_ENDPOINT"}) {
        environment.unset(name);
    }
    environment.set("CI_DISABLE_NETWORK_MONITOR", "1"); // the client then also reports its token: not on stdout
    testsupport::FakeHub hub;
    testsupport::CheckpointShape shape;
    shape.vocabulary = 51864;
    testsupport::writeCheckpoint(temporary / "served", shape, "F16", 2);
    testsupport::writeFile(temporary / "served" / "pytorch_model.bin", "not wanted");
    hub.addRepository("someone/whisper-test", temporary / "served");

    const fs::path out = temporary / "models" / "converted";
    auto outcome = runSonavex("models convert --repo someone/whisper-test --endpoint " + hub.endpoint() +
                              " --download-base " + quoted(temporary / "mirror") + " " + quoted(out));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output, R"({"variant":"base.en","folder":")" + out.string() + "\"}\n");
    EXPECT_TRUE(fs::exists(out / "TextDecoder.mlmodelc" / "weights.safetensors"));
    EXPECT_TRUE(fs::exists(out / "tokenizer.json"));
    const fs::path mirror = temporary / "mirror" / "models" / "someone" / "whisper-test";
    EXPECT_TRUE(fs::exists(mirror / "model.safetensors.index.json"));
    EXPECT_FALSE(fs::exists(mirror / "pytorch_model.bin"));

    // A second conversion into the same folder is refused and changes nothing.
    outcome = runSonavex("models convert " + quoted(mirror) + " " + quoted(out) + " --cache-length 100");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output.rfind(R"({"error":"CheckpointConversionError","message":")" + out.string(), 0), 0u)
        << outcome.output;
    EXPECT_EQ(runSonavex("models convert " + quoted(mirror)).status, 2);
    EXPECT_EQ(runSonavex("models convert --endpoint http://x " + quoted(mirror) + " " + quoted(out)).status,
              2);
}

TEST(SonavexModelsTool, SupportWithAFileAndVariant) {
    auto outcome = runSonavex("models support 'Standard PC (Q35 + ICH9, 2009)'");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output.rfind(R"({"default":"openai_whisper-base","supported":["openai_whisper-base",)", 0), 0u);
    EXPECT_NE(outcome.output.find(R"("disabled":[]})"), std::string::npos);

    testsupport::TemporaryDirectory temporary;
    testsupport::writeFile(temporary / "support.json",
                           R"({"name": "mine", "version": "1", "device_support": [{"identifiers": ["Box"],
                               "models": {"default": "b", "supported": ["b"]}}, {"identifiers": ["Other"],
                               "models": {"default": "z", "supported": ["z", "a"]}}]})");
    outcome = runSonavex("models support Box1 --config " + quoted(temporary / "support.json"));
    EXPECT_EQ(outcome.output, R"({"default":"b","supported":["b"],"disabled":["a","z"]})"
                              "\n");
    testsupport::writeFile(temporary / "broken.json", R"({"name": "mine", "device_support": []})");
    outcome = runSonavex("models support Box1 --config " + quoted(temporary / "broken.json"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, R"({"error":"DecodingError","message":"No value associated with key \"version\"."})"
                              "\n");

    EXPECT_EQ(runSonavex("models variant 51865 1280").output,
              R"({"variant":"large-v2","tokenizer":"openai/whisper-large-v2"})"
              "\n");
}

TEST(SonavexTokenizerTool, SpecialSplitAndDecode) {
    const std::string folder = quoted(testsupport::dataPath("tokenizers/whisper-multilingual"));
    auto outcome = runSonavex("tokenizer --folder " + folder + " split 38088,165,105,109");
    EXPECT_EQ(outcome.output, R"({"words":["こんにちは","鬱"],"wordTokens":[[38088],[165,105,109]]})"
                              "\n");
    EXPECT_EQ(runSonavex("tokenizer --folder " + folder + " decode 2425,11").output, R"({"text":" Hello,"})"
                                                                                     "\n");
    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path().string());
    outcome = runSonavex("tokenizer --variant tiny --search " + folder + " special");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.output.rfind(R"({"specialTokens":{"endToken":50257,"englishToken":50259,"noSpeechToken":50362,)",
                                   0),
              0u)
        << outcome.output;
    EXPECT_NE(outcome.output.find(R"("folder":")" + testsupport::dataPath("tokenizers/whisper-multilingual").string()),
              std::string::npos)
        << outcome.output;
    EXPECT_EQ(runSonavex("tokenizer --folder " + folder + " --variant tiny special").status, 2);
    EXPECT_EQ(runSonavex("tokenizer --variant huge special").status, 2);
}
