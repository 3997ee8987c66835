#pragma once
// The model registry: which tokenizing model a tokenizer class name (from "tokenizer_config.json")
// selects, and how models read their special tokens from the tokenizer configuration.

#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenId.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace orvane {

class Config;

/// Added-token text to id, as the tokenizer data lists them.
using AddedTokenIds = std::unordered_map<std::string, TokenId>;

struct TokenizerModel {
    using Builder = std::function<std::unique_ptr<TokenizingModel>(
        const Config& tokenizerConfig, const Config& tokenizerData, const AddedTokenIds& addedTokens)>;

    /// Tokenizer class name (without "Fast") to the model it selects.
    static std::map<std::string, Builder> registeredModels();

    /// A tokenizer class name with every "Fast" removed, wherever it stands ("FastBertTokenizer" is
    /// "BertTokenizer"): the form in which class names are looked up.
    static std::string withoutFast(std::string className);

    /// Builds the model the configuration's tokenizer class selects. An unregistered class fails with
    /// TokenizerError::unsupportedTokenizer when `strict`, else prints a warning and uses byte-pair encoding.
    static std::unique_ptr<TokenizingModel> from(const Config& tokenizerConfig, const Config& tokenizerData,
                                                 const AddedTokenIds& addedTokens, bool strict);

    /// The "unk_token" of a tokenizer configuration: its "content" when that is a string, else the
    /// member itself when it is a string.
    static std::optional<std::string> unknownToken(const Config& tokenizerConfig);
};

/// A special token as configurations write it: a string, or an object whose "content" is a string.
/// Nothing for a null pointer.
std::optional<std::string> addedTokenAsString(const Config* config);

} // namespace orvane
