#include "OrvaneCore/External/Tokenizers/Pipeline/LlamaPreTrainedTokenizer.h"

#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/TemplateProcessing.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

namespace orvane {
namespace {

constexpr const char* wordMarker = "\u2581";

bool readLegacy(const Config& tokenizerConfig) {
    return tokenizerConfig["legacy"].boolean().value_or(true);
}

Config templateItem(const char* kind, const std::string& id, std::int64_t typeId) {
    return Config::fromPairs({{kind, Config::fromPairs({{"id", id}, {"type_id", typeId}})}});
}

// The special token a flag asks for; none when the flag is off, an error when it is on without a token.
std::optional<std::string> requestedToken(const Config& tokenizerConfig, const char* flag, const char* token,
                                          const char* message) {
    if (!tokenizerConfig[flag].boolean().value_or(false)) {
        return std::nullopt;
    }
    if (auto text = addedTokenAsString(&tokenizerConfig[token])) {
        return text;
    }
    throw TokenizerError::mismatchedConfig(message);
}

} // namespace

std::optional<Config> maybeUpdatePostProcessor(const Config& tokenizerConfig, const Config& processorConfig) {
    if (std::dynamic_pointer_cast<TemplateProcessing>(PostProcessorFactory::fromConfig(processorConfig))) {
        return std::nullopt;
    }
    const auto bos = requestedToken(tokenizerConfig, "addBosToken", "bosToken",
                                    "add_bos_token is True but bos_token is nil");
    const auto eos = requestedToken(tokenizerConfig, "addEosToken", "eosToken",
                                    "add_eos_token is True but eos_token is nil");
    // One sequence framed by the requested tokens; the pair template frames the second one after the first.
    auto appendFramed = [&](Config::Array& items, const char* sequence, std::int64_t typeId) {
        if (bos) {
            items.push_back(templateItem("SpecialToken", *bos, typeId));
        }
        items.push_back(templateItem("Sequence", sequence, typeId));
        if (eos) {
            items.push_back(templateItem("SpecialToken", *eos, typeId));
        }
    };
    Config::Array single;
    appendFramed(single, "A", 0);
    Config::Array pair = single;
    appendFramed(pair, "B", 1);
    return Config::fromPairs(
        {{"type", "TemplateProcessing"}, {"single", Config(single)}, {"pair", Config(pair)}});
}

Config LlamaPreTrainedTokenizer::rewrittenTokenizerData(const Config& tokenizerConfig,
                                                        const Config& tokenizerData) {
    Config::Dictionary data;
    if (const Config::Dictionary* entries = tokenizerData.dictionary()) {
        data = *entries;
    }
    if (!readLegacy(tokenizerConfig)) {
        data.erase(BinaryDistinctString("normalizer"));
        data[BinaryDistinctString("pre_tokenizer")] = Config::fromPairs({{"type", "Metaspace"},
                                                                         {"replacement", wordMarker},
                                                                         {"add_prefix_space", true},
                                                                         {"prepend_scheme", "first"}});
    }
    // Decided from the post-processor as the data came, before the rewrite above.
    if (auto processor = maybeUpdatePostProcessor(tokenizerConfig, tokenizerData["postProcessor"])) {
        const Config::Dictionary* entries = processor->dictionary();
        data[BinaryDistinctString("post_processor")] =
            entries ? Config(*entries) : Config(Config::Dictionary{});
    }
    return Config(std::move(data));
}

LlamaPreTrainedTokenizer::LlamaPreTrainedTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                                                   bool strict)
    : PreTrainedTokenizer(tokenizerConfig, rewrittenTokenizerData(tokenizerConfig, tokenizerData), strict),
      isLegacy_(readLegacy(tokenizerConfig)) {}

std::vector<std::string> LlamaPreTrainedTokenizer::tokenize(const std::string& text) const {
    if (isLegacy_ || text.empty()) {
        return PreTrainedTokenizer::tokenize(text);
    }
    std::vector<std::string> tokens =
        PreTrainedTokenizer::tokenize(wordMarker + replacingOccurrences(text, wordMarker, " "));
    if (tokens.size() >= 2 && tokens[0] == wordMarker && specialTokens().contains(tokens[1])) {
        tokens.erase(tokens.begin());
    }
    return tokens;
}

} // namespace orvane
