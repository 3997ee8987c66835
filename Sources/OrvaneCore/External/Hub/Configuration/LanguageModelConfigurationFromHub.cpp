#include "OrvaneCore/External/Hub/Configuration/LanguageModelConfigurationFromHub.h"

#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Hub/Files/FileReadError.h"
#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/Encoding.h"
#include "Platform/Net/UrlError.h"

#include <fstream>
#include <sstream>

namespace orvane {

namespace fs = std::filesystem;

namespace {

std::string describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "An unknown error occurred.";
    }
}

const std::vector<std::string> kConfigurationFiles = {
    "config.json", "tokenizer_config.json", "chat_template.jinja", "chat_template.json", "tokenizer.json"};

/// A user's own folder did not come from the hub, so a file that is not JSON is named with the parser's
/// reason; the hub's hint about a missing token is for files a server sent.
std::optional<Config> configurationIfPresent(const fs::path& file, const HubApi& hubApi, bool userFolder) {
    if (!fs::exists(file)) {
        return std::nullopt;
    }
    if (!userFolder) {
        return hubApi.configuration(file);
    }
    const std::string data = FileReadError::readContents(file);
    Config parsed;
    try {
        parsed = BomPreservingJsonReader::bomPreservingJsonObject(data);
    } catch (const std::exception& error) { // a parse error, or nesting too deep to hold
        throw Hub::HubClientError::jsonSerialization(
            file, "JSON Serialization failed for " + net::fileUrlString(file) + ": " + error.what());
    }
    if (parsed.kind() != Config::Kind::dictionary) {
        throw Hub::HubClientError::jsonSerialization(
            file, "JSON Serialization failed for " + net::fileUrlString(file) + ": the document is not an object");
    }
    return parsed;
}

/// A chat template from the text file, else from the JSON file's "chat_template" string; failures to read
/// either count as no template.
std::optional<std::string> chatTemplate(const fs::path& folder, const HubApi& hubApi) {
    try {
        if (fs::exists(folder / "chat_template.jinja")) {
            std::ifstream in(folder / "chat_template.jinja", std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            if (!in || !text::isValidUtf8(text.str())) {
                return std::nullopt;
            }
            return text.str();
        }
        if (fs::exists(folder / "chat_template.json")) {
            return hubApi.configuration(folder / "chat_template.json")["chatTemplate"].string();
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

LanguageModelConfigurationFromHub::Configurations loadDocuments(const fs::path& folder, const HubApi& hubApi,
                                                                bool userFolder) {
    LanguageModelConfigurationFromHub::Configurations documents;
    documents.modelConfig = configurationIfPresent(folder / "config.json", hubApi, userFolder);
    auto tokenizerData = configurationIfPresent(folder / "tokenizer.json", hubApi, userFolder);
    if (!tokenizerData) {
        throw Hub::HubClientError::configurationMissing("tokenizer.json");
    }
    documents.tokenizerData = std::move(*tokenizerData);
    documents.tokenizerConfig = configurationIfPresent(folder / "tokenizer_config.json", hubApi, userFolder);
    return documents;
}

LanguageModelConfigurationFromHub::Configurations loadConfiguration(const fs::path& folder, const HubApi& hubApi,
                                                                    bool userFolder) {
    using Configurations = LanguageModelConfigurationFromHub::Configurations;
    Configurations documents;
    try {
        documents = loadDocuments(folder, hubApi, userFolder);
    } catch (const Hub::HubClientError&) {
        throw;
    } catch (const BomPreservingJsonReader::ParseError& error) {
        throw Hub::HubClientError::parseError(std::string("Invalid JSON format: ") + error.what());
    } catch (...) {
        throw Hub::HubClientError::fileSystemError(describe(std::current_exception()));
    }
    if (auto chat = chatTemplate(folder, hubApi)) {
        Config::Dictionary* entries =
            documents.tokenizerConfig ? documents.tokenizerConfig->dictionary() : nullptr;
        if (entries) {
            (*entries)[BinaryDistinctString("chat_template")] = Config(*chat);
        } else {
            documents.tokenizerConfig =
                Config::fromPairs({{BinaryDistinctString("chat_template"), Config(*chat)}});
        }
    }
    return documents;
}

} // namespace

LanguageModelConfigurationFromHub::Configurations
LanguageModelConfigurationFromHub::loadConfig(const fs::path& folder, const HubApi& hubApi) {
    return loadConfiguration(folder, hubApi, false);
}

LanguageModelConfigurationFromHub::LanguageModelConfigurationFromHub(std::string modelName,
                                                                     std::string revision,
                                                                     const HubApiWrapper& hubApi,
                                                                     std::stop_token stop) {
    configPromise = std::async(std::launch::async, [name = std::move(modelName),
                                                    revision = std::move(revision), hub = hubApi.impl, stop] {
                        try {
                            const fs::path folder = hub.snapshot(HubApi::Repo{name, HubApi::RepoType::models},
                                                                 revision, kConfigurationFiles, {}, stop);
                            return loadConfig(folder, hub);
                        } catch (const net::UrlError& error) {
                            if (error.code() == net::UrlError::Code::resourceUnavailable) {
                                throw Hub::HubClientError::resourceNotFound(name);
                            }
                            throw Hub::HubClientError::networkError(error);
                        }
                    }).share();
}

LanguageModelConfigurationFromHub::LanguageModelConfigurationFromHub(fs::path modelFolder,
                                                                     const HubApiWrapper& hubApi) {
    configPromise = std::async(std::launch::async, [folder = std::move(modelFolder), hub = hubApi.impl] {
                        return loadConfiguration(folder, hub, true);
                    }).share();
}

std::optional<Config> LanguageModelConfigurationFromHub::tokenizerConfig() const {
    const auto& tokenizer = configurations().tokenizerConfig;
    if (!tokenizer) {
        return std::nullopt;
    }
    if ((*tokenizer)["tokenizerClass"].string()) {
        return tokenizer;
    }
    const auto model = modelType();
    if (!model) {
        return tokenizer;
    }
    Config::Dictionary entries;
    if (const auto* existing = tokenizer->dictionary()) {
        entries = *existing;
    }
    entries[BinaryDistinctString("tokenizer_class")] = Config(text::capitalized(*model) + "Tokenizer");
    return Config(std::move(entries));
}

std::optional<std::string> LanguageModelConfigurationFromHub::modelType() const {
    const auto& model = configurations().modelConfig;
    if (!model) {
        return std::nullopt;
    }
    return (*model)["modelType"].string();
}

} // namespace orvane
