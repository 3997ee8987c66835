#pragma once
// Gathers a language-model repository's configuration documents ("config.json", "tokenizer_config.json"
// with its chat template, "tokenizer.json"), from the hub into the local mirror or from a local folder,
// and parses them into Config values. Loading starts at construction on a thread of its own and happens
// once; every accessor waits for it and sees the same documents or the same error.

#include "OrvaneCore/External/Hub/Configuration/Config.h"

#include <filesystem>
#include <future>
#include <optional>
#include <stop_token>
#include <string>

namespace orvane {

class HubApi;
class HubApiWrapper;

class LanguageModelConfigurationFromHub {
public:
    struct Configurations {
        std::optional<Config> modelConfig;
        /// With the chat template merged in, when there is one.
        std::optional<Config> tokenizerConfig;
        Config tokenizerData;
    };

    /// Fetches the five configuration files of the repository at `revision` through the client's
    /// snapshot. Transport failures become HubClientError networkError.
    LanguageModelConfigurationFromHub(std::string modelName, std::string revision,
                                      const HubApiWrapper& hubApi, std::stop_token stop = {});
    /// Reads the files of a local folder.
    LanguageModelConfigurationFromHub(std::filesystem::path modelFolder, const HubApiWrapper& hubApi);

    /// Throws HubClientError: configurationMissing("tokenizer.json"), the client's JSON errors,
    /// fileSystemError. A missing or unreadable chat template is no error.
    static Configurations loadConfig(const std::filesystem::path& modelFolder, const HubApi& hubApi);

    /// The loaded documents (waits for them; throws the load's error).
    const Configurations& configurations() const { return configPromise.get(); }

    /// The tokenizer configuration, with "tokenizer_class" derived from the model type ("whisper" gives
    /// "WhisperTokenizer") when it names none.
    std::optional<Config> tokenizerConfig() const;
    /// "model_type" of "config.json", when it is a string.
    std::optional<std::string> modelType() const;

    std::shared_future<Configurations> configPromise;
};

} // namespace orvane
