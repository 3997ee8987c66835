#include "OrvaneCore/External/Hub/Configuration/LanguageModelConfigurationFromHub.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/LlamaPreTrainedTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "OrvaneCoreTests/Hub/HubTestSupport.h"
#include "Platform/Net/UrlError.h"

#include <gtest/gtest.h>

using orvane::Config;
using orvane::HubApiWrapper;
using orvane::LanguageModelConfigurationFromHub;
using orvane::Hub::HubClientError;
namespace fs = std::filesystem;

namespace {

class ConfigurationLoaderTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        // The wrapper leaves the offline decision to the network state; these tests need the hub.
        environment.set("CI_DISABLE_NETWORK_MONITOR", "1");
    }

    HubApiWrapper wrapper() const { return HubApiWrapper(mirror.path(), std::string(), hub.endpoint()); }

    LanguageModelConfigurationFromHub fromFolder() const { return {folder.path(), wrapper()}; }

    /// Serves a copy of one of the project's tokenizer folders as "owner/name", plus a file no
    /// configuration load asks for.
    void serveTokenizer(const std::string& name) {
        fs::copy(testsupport::dataPath("tokenizers/" + name), repository.path(), fs::copy_options::recursive);
        testsupport::writeFile(repository / "model.safetensors", "not a configuration");
    }

    testsupport::TemporaryDirectory folder;
    testsupport::TemporaryDirectory mirror;
};

} // namespace

TEST_F(ConfigurationLoaderTest, OnlyTokenizerDataGivesNoConfigurations) {
    testsupport::writeFile(folder / "tokenizer.json", R"({"model": {"type": "BPE"}})");
    auto loader = fromFolder();
    EXPECT_FALSE(loader.configurations().modelConfig);
    EXPECT_FALSE(loader.configurations().tokenizerConfig);
    EXPECT_EQ(loader.configurations().tokenizerData["model"]["type"].string(), "BPE");
    EXPECT_FALSE(loader.tokenizerConfig());
    EXPECT_FALSE(loader.modelType());
}

TEST_F(ConfigurationLoaderTest, MissingTokenizerDataFailsEveryAccessorAlike) {
    testsupport::writeFile(folder / "config.json", R"({"model_type": "whisper"})");
    auto loader = fromFolder();
    for (int i = 0; i < 2; ++i) {
        expectError<HubClientError>([&] { loader.tokenizerConfig(); },
                                    [](const HubClientError& error) {
                                        EXPECT_EQ(error.kind(), HubClientError::Kind::configurationMissing);
                                        EXPECT_STREQ(error.what(),
                                                     "Required configuration file missing: tokenizer.json");
                                    });
    }
    EXPECT_THROW(loader.modelType(), HubClientError);
}

TEST_F(ConfigurationLoaderTest, MalformedDocumentInAFolderNamesTheFileAndTheParsersReason) {
    // A user's folder did not come from the hub: no hint about a hub token, but what is wrong and where.
    testsupport::writeFile(folder / "tokenizer.json", "{}");
    testsupport::writeFile(folder / "config.json", "{\"model_type\": ");
    expectError<HubClientError>(
        [&] { fromFolder().configurations(); },
        [&](const HubClientError& error) {
            EXPECT_EQ(error.kind(), HubClientError::Kind::jsonSerialization);
            const std::string text = error.what();
            EXPECT_EQ(text.rfind("JSON Serialization failed for file://" + (folder / "config.json").string() + ": ",
                                 0),
                      0u)
                << text;
            EXPECT_NE(text.find("unexpected end of input"), std::string::npos) << text;
            EXPECT_EQ(text.find("HF_TOKEN"), std::string::npos) << text;
        });
    testsupport::writeFile(folder / "config.json", "[1, 2]");
    expectError<HubClientError>([&] { fromFolder().configurations(); },
                                [&](const HubClientError& error) {
                                    EXPECT_NE(std::string(error.what()).find("config.json: the document is not an object"),
                                              std::string::npos)
                                        << error.what();
                                });
}

TEST_F(ConfigurationLoaderTest, ChatTemplateTextFileWinsAndCompletesTheConfiguration) {
    testsupport::writeFile(folder / "tokenizer.json", "{}");
    testsupport::writeFile(folder / "config.json", R"({"model_type": "whisper"})");
    testsupport::writeFile(folder / "chat_template.jinja", "{{ text }}");
    testsupport::writeFile(folder / "chat_template.json", R"({"chat_template": "from json"})");
    auto tokenizerConfig = fromFolder().tokenizerConfig();
    ASSERT_TRUE(tokenizerConfig);
    ASSERT_EQ(tokenizerConfig->dictionary()->size(), 2u);
    EXPECT_EQ((*tokenizerConfig)["chat_template"].string(), "{{ text }}");
    EXPECT_EQ((*tokenizerConfig)["tokenizer_class"].string(), "WhisperTokenizer");

    // Without the text file the JSON one counts, but only with a string template.
    fs::remove(folder / "chat_template.jinja");
    testsupport::writeFile(folder / "tokenizer_config.json",
                           R"({"tokenizer_class": 7, "chat_template": "old"})");
    tokenizerConfig = fromFolder().tokenizerConfig();
    EXPECT_EQ((*tokenizerConfig)["chat_template"].string(), "from json");
    EXPECT_EQ((*tokenizerConfig)["tokenizer_class"].string(), "WhisperTokenizer");
    testsupport::writeFile(folder / "chat_template.json", R"({"chat_template": ["not", "text"]})");
    EXPECT_EQ((*fromFolder().tokenizerConfig())["chat_template"].string(), "old");
}

TEST_F(ConfigurationLoaderTest, HubLoadFetchesOnlyTheConfigurationFiles) {
    serveTokenizer("whisper-en");
    LanguageModelConfigurationFromHub loader("owner/name", "main", wrapper());
    EXPECT_EQ(loader.modelType(), "whisper");
    EXPECT_EQ((*loader.tokenizerConfig())["tokenizerClass"].string(), "WhisperTokenizer");
    const fs::path local = mirror / "models" / "owner" / "name";
    EXPECT_TRUE(fs::exists(local / "tokenizer.json"));
    EXPECT_FALSE(fs::exists(local / "model.safetensors"));
}

TEST_F(ConfigurationLoaderTest, TransferThatKeepsBreakingBecomesANetworkError) {
    serveTokenizer("whisper-en");
    testsupport::FakeHub::Fault cut;
    cut.pathContains = "tokenizer.json";
    cut.method = "GET";
    cut.cutAfterBytes = 10;
    hub.addFault(cut);
    LanguageModelConfigurationFromHub loader("owner/name", "main", wrapper());
    expectError<HubClientError>([&] { loader.tokenizerConfig(); },
                                [](const HubClientError& error) {
                                    EXPECT_EQ(error.kind(), HubClientError::Kind::networkError);
        EXPECT_EQ(error.urlErrorCode(), net::UrlError::Code::networkConnectionLost);
                                    EXPECT_EQ(std::string(error.what()).rfind("Network error: ", 0), 0u)
                                        << error.what();
                                });
}

TEST_F(ConfigurationLoaderTest, AutomaticLoaderBuildsTheNamedClassOnlyFromTheHub) {
    serveTokenizer("tinyllama");
    auto fromHub = orvane::AutoTokenizerWrapper::fromPretrained("owner/name", wrapper(), true);
    EXPECT_TRUE(std::dynamic_pointer_cast<const orvane::LlamaPreTrainedTokenizer>(fromHub.impl()));
    auto fromFolder = orvane::AutoTokenizerWrapper::fromModelFolder(
        testsupport::dataPath("tokenizers/tinyllama"), wrapper(), true);
    EXPECT_FALSE(std::dynamic_pointer_cast<const orvane::LlamaPreTrainedTokenizer>(fromFolder.impl()));
    EXPECT_TRUE(std::dynamic_pointer_cast<const orvane::PreTrainedTokenizer>(fromFolder.impl()));
}

TEST_F(ConfigurationLoaderTest, AutomaticLoaderEncodesLikeTheReferenceTokenizer) {
    serveTokenizer("whisper-en");
    auto tokenizer = orvane::AutoTokenizerWrapper::fromPretrained("owner/name", wrapper(), true);
    EXPECT_EQ(
        tokenizer.encode("Hello, world! How are you today?"),
        (std::vector<orvane::TokenId>{50257, 50362, 15496, 11, 995, 0, 1374, 389, 345, 1909, 30, 50256}));
}

TEST_F(ConfigurationLoaderTest, AutomaticLoaderNeedsATokenizerConfiguration) {
    fs::copy_file(testsupport::dataPath("tokenizers/whisper-en/tokenizer.json"), folder / "tokenizer.json");
    expectError<orvane::TokenizerError>(
        [&] { orvane::AutoTokenizerWrapper::fromModelFolder(folder.path(), wrapper(), true); },
        [](const orvane::TokenizerError& error) {
            EXPECT_EQ(error.kind(), orvane::TokenizerError::Kind::missingConfig);
        });
    testsupport::writeFile(folder / "tokenizer_config.json", R"({"tokenizer_class": "NoSuchTokenizer"})");
    expectError<orvane::TokenizerError>(
        [&] { orvane::AutoTokenizerWrapper::fromModelFolder(folder.path(), wrapper(), true); },
        [](const orvane::TokenizerError& error) {
            EXPECT_EQ(error.kind(), orvane::TokenizerError::Kind::unsupportedTokenizer);
        });
}
