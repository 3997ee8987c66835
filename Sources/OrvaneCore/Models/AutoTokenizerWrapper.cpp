#include "OrvaneCore/Models/AutoTokenizerWrapper.h"

#include "OrvaneCore/External/Hub/Configuration/LanguageModelConfigurationFromHub.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizerClasses.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {

namespace {

Config requiredTokenizerConfig(const LanguageModelConfigurationFromHub& configuration) {
    auto tokenizerConfig = configuration.tokenizerConfig();
    if (!tokenizerConfig) {
        throw TokenizerError::missingConfig();
    }
    return std::move(*tokenizerConfig);
}

} // namespace

TokenizerWrapper AutoTokenizerWrapper::fromPretrained(const std::string& pretrained,
                                                      const HubApiWrapper& hubApi, bool strict,
                                                      std::stop_token stop) {
    const LanguageModelConfigurationFromHub configuration(pretrained, "main", hubApi, std::move(stop));
    const Config tokenizerConfig = requiredTokenizerConfig(configuration);
    return ofConfiguredClass(tokenizerConfig, configuration.configurations().tokenizerData, strict);
}

TokenizerWrapper AutoTokenizerWrapper::ofConfiguredClass(const Config& tokenizerConfig,
                                                         const Config& tokenizerData, bool strict) {
    if (auto className = tokenizerConfig["tokenizerClass"].string()) {
        const auto& classes = PreTrainedTokenizerClasses::tokenizerClasses();
        if (auto found = classes.find(TokenizerModel::withoutFast(*className)); found != classes.end()) {
            return TokenizerWrapper(found->second(tokenizerConfig, tokenizerData, strict));
        }
    }
    return TokenizerWrapper(std::make_shared<PreTrainedTokenizer>(tokenizerConfig, tokenizerData, strict));
}

TokenizerWrapper AutoTokenizerWrapper::fromModelFolder(const std::filesystem::path& modelFolder,
                                                       const HubApiWrapper& hubApi, bool strict) {
    const LanguageModelConfigurationFromHub configuration(modelFolder, hubApi);
    const Config tokenizerConfig = requiredTokenizerConfig(configuration);
    return TokenizerWrapper(std::make_shared<PreTrainedTokenizer>(
        tokenizerConfig, configuration.configurations().tokenizerData, strict));
}

} // namespace orvane
