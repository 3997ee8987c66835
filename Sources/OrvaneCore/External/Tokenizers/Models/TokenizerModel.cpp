#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Models/BPETokenizer.h"
#include "OrvaneCore/External/Tokenizers/Models/BertTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Models/UnigramTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/T5Tokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

#include <iostream>

namespace orvane {
namespace {

template <typename Model>
std::unique_ptr<TokenizingModel> build(const Config& tokenizerConfig, const Config& tokenizerData,
                                       const AddedTokenIds& addedTokens) {
    return std::make_unique<Model>(tokenizerConfig, tokenizerData, addedTokens);
}

} // namespace

std::string TokenizerModel::withoutFast(std::string className) {
    // One left-to-right pass, like a plain text replacement: "FaFastst" becomes "Fast".
    for (std::size_t at = 0; (at = className.find("Fast", at)) != std::string::npos;)
        className.erase(at, 4);
    return className;
}

std::map<std::string, TokenizerModel::Builder> TokenizerModel::registeredModels() {
    std::map<std::string, Builder> models;
    for (const char* name : {"BertTokenizer", "DistilbertTokenizer", "DistilBertTokenizer"}) {
        models[name] = build<BertTokenizer>;
    }
    models["T5Tokenizer"] = build<T5Tokenizer>;
    models["XLMRobertaTokenizer"] = build<UnigramTokenizer>;
    for (const char* name :
         {"CodeGenTokenizer", "CodeLlamaTokenizer", "CohereTokenizer", "FalconTokenizer", "GemmaTokenizer",
          "GPT2Tokenizer", "LlamaTokenizer", "RobertaTokenizer", "TokenizersBackend", "PreTrainedTokenizer",
          "Qwen2Tokenizer", "WhisperTokenizer"}) {
        models[name] = build<BPETokenizer>;
    }
    return models;
}

std::unique_ptr<TokenizingModel> TokenizerModel::from(const Config& tokenizerConfig,
                                                      const Config& tokenizerData,
                                                      const AddedTokenIds& addedTokens, bool strict) {
    auto className = tokenizerConfig["tokenizerClass"].string();
    if (!className)
        throw TokenizerError::missingTokenizerClassInConfig();
    std::string name = withoutFast(*className);
    auto models = registeredModels();
    auto found = models.find(name);
    if (found == models.end()) {
        if (strict)
            throw TokenizerError::unsupportedTokenizer(name);
        std::cout << "Warning: Tokenizer model class " << name
                  << " is not registered, falling back to a standard BPE implementation." << std::endl;
        return build<BPETokenizer>(tokenizerConfig, tokenizerData, addedTokens);
    }
    return found->second(tokenizerConfig, tokenizerData, addedTokens);
}

std::optional<std::string> TokenizerModel::unknownToken(const Config& tokenizerConfig) {
    const Config& token = tokenizerConfig["unkToken"];
    if (auto content = token["content"].string())
        return content;
    return token.string();
}

std::optional<std::string> addedTokenAsString(const Config* config) {
    if (!config)
        return std::nullopt;
    if (auto text = config->string())
        return text;
    return (*config)["content"].string();
}

} // namespace orvane
