#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Platform/ML/Model/Model.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Models/ModelSupportConfig.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"
#include "SonavexTests/CheckpointFixture.h"
#include "SonavexTests/HubIsolation.h"
#include "SonavexTests/LogCapture.h"
#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using sonavex::ModelUtilities;
using sonavex::ModelVariant;

namespace {

// A home of its own (so the hub's default mirror is empty) and the hub's endpoint on a local fake.
class TokenizerSearchTest : public testing::Test {
protected:
    void SetUp() override { isolateHub(environment, home.path(), hub.endpoint()); }

    // A folder holding a copy of a real tokenizer's files.
    fs::path tokenizerCopy(const fs::path& folder, const std::string& name = "whisper-multilingual") {
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(testsupport::dataPath("tokenizers/" + name))) {
            fs::copy_file(entry.path(), folder / entry.path().filename());
        }
        return folder;
    }

    static fs::path folderOf(const std::shared_ptr<sonavex::WhisperTokenizer>& tokenizer) {
        return std::dynamic_pointer_cast<sonavex::WhisperTokenizerWrapper>(tokenizer)->tokenizerFolder().value();
    }

    testsupport::TemporaryDirectory home;
    testsupport::TemporaryDirectory temporary;
    testsupport::ScopedEnvironment environment;
    testsupport::FakeHub hub;
};

} // namespace

TEST(ModelUtilitiesTest, VariantFromVocabularyAndWidth) {
    const std::vector<int64_t> widths{384, 512, 768, 1024, 1280, 640};
    const std::map<int64_t, std::vector<ModelVariant>> table{
        {51866, std::vector<ModelVariant>(6, ModelVariant::largev3)},
        {51865, {ModelVariant::tiny, ModelVariant::base, ModelVariant::small, ModelVariant::medium,
                 ModelVariant::largev2, ModelVariant::base}},
        {51864, {ModelVariant::tinyEn, ModelVariant::baseEn, ModelVariant::smallEn, ModelVariant::mediumEn,
                 ModelVariant::baseEn, ModelVariant::baseEn}},
    };
    for (const auto& [vocabulary, row] : table) {
        for (size_t i = 0; i < widths.size(); ++i) {
            EXPECT_EQ(ModelUtilities::detectVariant(vocabulary, widths[i]), row[i]) << vocabulary << " " << widths[i];
        }
    }
    LogCapture log;
    EXPECT_EQ(ModelUtilities::detectVariant(50000, 384), ModelVariant::base);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Unrecognized vocabulary size: 50000, defaulting to base variant"});

    EXPECT_EQ(ModelUtilities::tokenizerNameForVariant(ModelVariant::largev2), "openai/whisper-large-v2");
    EXPECT_EQ(ModelUtilities::tokenizerNameForVariant(ModelVariant::tinyEn), "openai/whisper-tiny.en");
}

TEST(ModelUtilitiesTest, ModelFolderNamesGroupedBySize) {
    EXPECT_EQ(ModelUtilities::formatModelFiles({"openai_whisper-large-v3-v20240930_626MB/TextDecoder.mlmodelc/x",
                                                "openai_whisper-base/AudioEncoder.mlmodelc",
                                                "openai_whisper-base/TextDecoder.mlmodelc",
                                                "openai_whisper-tiny/MelSpectrogram.mlmodelc"}),
              (std::vector<std::string>{"openai_whisper-tiny", "openai_whisper-base",
                                        "openai_whisper-large-v3-v20240930_626MB"}));
    // Small sizes must end the folder name; large ones may carry any suffix.
    EXPECT_EQ(ModelUtilities::formatModelFiles({"openai_whisper-tiny_fast", "openai_whisper-small.en",
                                                "openai_whisper-small", "distil-whisper_distil-large-v3_turbo",
                                                "openai_whisper-base.en_x", "config.json", "openai_whisper-medium"}),
              (std::vector<std::string>{"openai_whisper-small", "openai_whisper-small.en", "openai_whisper-medium",
                                        "distil-whisper_distil-large-v3_turbo"}));
    EXPECT_TRUE(ModelUtilities::formatModelFiles({}).empty());
}

TEST(ModelUtilitiesTest, SupportFromTheGivenConfigurationOrTheBuiltInTable) {
    EXPECT_EQ(ModelUtilities::modelSupport("iPhone11,8").defaultModel, "openai_whisper-tiny");
    const sonavex::ModelSupportConfig own("own", "1", {{std::nullopt, {"iPhone11"}, {"mine", {"mine"}, {}}}}, false);
    EXPECT_EQ(ModelUtilities::modelSupport("iPhone11,8", &own).defaultModel, "mine");
}

TEST_F(TokenizerSearchTest, MirrorThenTokenizerFolderThenAdditionalPathsEachLogged) {
    const fs::path base = temporary / "base";
    const fs::path mirror = base / "models" / "openai" / "whisper-tiny";
    const fs::path empty = temporary / "empty";
    const fs::path second = tokenizerCopy(temporary / "second");
    {
        LogCapture log;
        const auto tokenizer = ModelUtilities::loadTokenizer(ModelVariant::tiny, base, {empty, second});
        EXPECT_EQ(folderOf(tokenizer), second);
        EXPECT_EQ(log.lines(), (std::vector<std::string>{
                                   "Checking for local tokenizer at " + (mirror / "tokenizer.json").string() +
                                       " - not found",
                                   "Checking for local tokenizer at " + (base / "tokenizer.json").string() +
                                       " - not found",
                                   "Checking for local tokenizer at " + (empty / "tokenizer.json").string() +
                                       " - not found",
                                   "Checking for local tokenizer at " + (second / "tokenizer.json").string() +
                                       " - found",
                                   "Found local tokenizer at " + second.string(),
                                   "Loading tokenizer from " + second.string(),
                               }));
        EXPECT_EQ(tokenizer->specialTokens().startOfTranscriptToken, 50258);
    }
    // The tokenizer folder comes before the additional paths, the mirror before both.
    tokenizerCopy(base);
    EXPECT_EQ(folderOf(ModelUtilities::loadTokenizer(ModelVariant::tiny, base, {second})), base);
    tokenizerCopy(mirror, "whisper-large-v3");
    const auto fromMirror = ModelUtilities::loadTokenizer(ModelVariant::tiny, base, {second});
    EXPECT_EQ(folderOf(fromMirror), mirror);
    EXPECT_EQ(fromMirror->specialTokens().timeTokenBegin, 50365);
    EXPECT_TRUE(hub.requests().empty());
}

TEST_F(TokenizerSearchTest, BrokenLocalFilesAreLoggedAndTheHubAsked) {
    const fs::path base = temporary / "base";
    const fs::path broken = tokenizerCopy(temporary / "broken");
    testsupport::writeFile(broken / "tokenizer.json", "{\"model\": ");
    hub.addRepository("openai/whisper-base", tokenizerCopy(temporary / "served"));

    LogCapture log;
    const auto tokenizer = ModelUtilities::loadTokenizer(ModelVariant::base, base, {broken});
    const fs::path mirror = base / "models" / "openai" / "whisper-base";
    EXPECT_EQ(folderOf(tokenizer), mirror);
    EXPECT_TRUE(fs::exists(mirror / "tokenizer.json"));
    const auto lines = log.lines();
    const auto errorLine = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("Error loading local tokenizer: ", 0) == 0;
    });
    ASSERT_NE(errorLine, lines.end());
    ASSERT_NE(errorLine + 1, lines.end());
    EXPECT_EQ(*(errorLine + 1), "Downloading tokenizer from Hub at file://" + mirror.string());
    EXPECT_EQ(tokenizer->specialTokens().endToken, 50257);

    // Nothing local, nothing on the hub: the folder, the file and the hub's answer; a damaged local file
    // is named with its fault; offline the hub is not asked, so it has nothing to add.
    const auto failure = [](const std::function<void()>& load) {
        try {
            load();
        } catch (const sonavex::WhisperError& error) {
            EXPECT_EQ(error.kind(), sonavex::WhisperError::Kind::tokenizerUnavailable);
            return error.message();
        }
        return std::string("no WhisperError");
    };
    const std::string other = (temporary / "other").string();
    EXPECT_EQ(failure([&] { ModelUtilities::loadTokenizer(ModelVariant::small, temporary / "other"); }),
              "No tokenizer.json in " + other +
                  "; downloading openai/whisper-small from the hub failed: File not found: main");
    EXPECT_EQ(failure([&] {
                  ModelUtilities::loadTokenizer(ModelVariant::small, std::nullopt, {broken});
              }).rfind("The tokenizer in " + broken.string() + " cannot be loaded: ", 0),
              0u);
    net::NetworkPath unusable;
    unusable.satisfied = false;
    orvane::HubApi::NetworkMonitor::shared().injectPathForTesting(unusable);
    EXPECT_EQ(failure([&] { ModelUtilities::loadTokenizer(ModelVariant::small, temporary / "other"); }),
              "No tokenizer.json in " + other);
    orvane::HubApi::NetworkMonitor::shared().injectPathForTesting(net::NetworkPath{});
}

// A public-layout checkpoint of the tiny size (shallow, real widths) becomes a folder from which the
// engine learns the size from the models and finds the tokenizer with no network.
TEST_F(TokenizerSearchTest, AConvertedCheckpointNamesItsSizeAndCarriesItsTokenizer) {
    testsupport::CheckpointShape shape;
    shape.width = 384;
    shape.heads = 6;
    shape.decoderLayers = 1;
    testsupport::writeCheckpoint(temporary / "checkpoint", shape);
    const fs::path folder = temporary / "openai_whisper-tiny";
    sonavex::CheckpointConverter::convert(temporary / "checkpoint", folder);

    const auto decoder = ml::Model::load(folder / "TextDecoder.mlmodelc");
    const auto encoder = ml::Model::load(folder / "AudioEncoder.mlmodelc");
    const int64_t logits = decoder->description().findOutput("logits")->multiArrayConstraint->shape.back();
    const int64_t width = encoder->description().findOutput("encoder_output_embeds")->multiArrayConstraint->shape[1];
    const ModelVariant variant = ModelUtilities::detectVariant(logits, width);
    EXPECT_EQ(variant, ModelVariant::tiny);

    const auto tokenizer = ModelUtilities::loadTokenizer(variant, std::nullopt, {folder});
    EXPECT_EQ(folderOf(tokenizer), folder);
    EXPECT_EQ(tokenizer->decode(tokenizer->encode(" Hello")), "<|startoftranscript|><|notimestamps|> Hello<|endoftext|>");
    EXPECT_TRUE(hub.requests().empty());
}
