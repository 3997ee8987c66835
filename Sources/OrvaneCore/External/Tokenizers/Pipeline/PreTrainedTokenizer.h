#pragma once
// The general tokenizer built from a model repository's "tokenizer_config.json" and "tokenizer.json":
// added tokens are cut out of the text first, each other section is normalized, pre-tokenized and
// tokenized by the model, runs of unknown tokens may be fused, and a post-processor adds the framing
// special tokens; decoding maps ids back to tokens, runs the decoder and tidies the blanks.
//
// Immutable once built: one tokenizer may serve any number of threads at once. Subclasses that need
// to rewrite the tokenizer data do so before calling this constructor, and may override any step.

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/AddedTokenMatcher.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/Tokenizer.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"
#include "OrvaneCore/Text/Regex.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvane {

class PreTrainedTokenizer : public Tokenizer {
public:
    /// Builds the whole pipeline; throws TokenizerError for the first configuration problem found.
    /// `strict` makes an unregistered tokenizer class an error instead of a byte-pair-encoding fallback.
    PreTrainedTokenizer(const Config& tokenizerConfig, const Config& tokenizerData, bool strict);
    ~PreTrainedTokenizer() override;

    std::optional<std::string> bosToken() const override { return model_->bosToken(); }
    std::optional<TokenId> bosTokenId() const override { return model_->bosTokenId(); }
    std::optional<std::string> eosToken() const override { return model_->eosToken(); }
    std::optional<TokenId> eosTokenId() const override { return model_->eosTokenId(); }
    std::optional<std::string> unknownToken() const override { return model_->unknownToken(); }
    std::optional<TokenId> unknownTokenId() const override { return model_->unknownTokenId(); }
    virtual bool fuseUnknownTokens() const { return model_->fuseUnknownTokens(); }

    virtual std::vector<std::string> preTokenize(const std::string& text,
                                                 const PreTokenizerOptions& options) const;
    virtual std::string normalize(const std::string& text) const;
    virtual std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                                 bool addSpecialTokens) const;
    virtual std::vector<std::string> decodeTokens(const std::vector<std::string>& tokens) const;
    virtual std::string cleanUp(const std::string& text) const;
    virtual std::vector<std::string> fuseUnknown(const std::vector<std::string>& tokens) const;

    std::vector<std::string> tokenize(const std::string& text) const override;
    std::vector<TokenId> encode(const std::string& text, bool addSpecialTokens) const override;
    std::vector<TokenId> encode(const std::string& text) const override { return encode(text, true); }
    using Tokenizer::decode;
    std::string decode(const std::vector<TokenId>& tokens, bool skipSpecialTokens) const override;
    std::optional<TokenId> convertTokenToId(const std::string& token) const override;
    std::optional<std::string> convertIdToToken(TokenId id) const override;

    const TokenizingModel& model() const { return *model_; }
    /// Contents of the added tokens that have an id.
    const std::unordered_set<std::string>& addedTokens() const { return addedTokens_; }
    /// Content to id of the added tokens marked special.
    const std::unordered_map<std::string, TokenId>& specialTokens() const { return specialTokens_; }
    const Config& tokenizerConfig() const { return tokenizerConfig_; }
    bool cleanUpTokenizationSpaces() const { return cleanUpTokenizationSpaces_; }
    /// The stages; null when the configuration has none.
    const std::shared_ptr<PreTokenizer>& preTokenizer() const { return preTokenizer_; }
    const std::shared_ptr<Normalizer>& normalizer() const { return normalizer_; }
    const std::shared_ptr<PostProcessor>& postProcessor() const { return postProcessor_; }
    const std::shared_ptr<Decoder>& decoder() const { return decoder_; }
    /// The expression that cuts added tokens out of a text; none when there is no usable one.
    const std::optional<text::Regex>& addedTokensRegex() const { return addedTokensRegex_; }

private:
    std::unique_ptr<TokenizingModel> model_;
    std::unordered_set<std::string> addedTokens_;
    std::unordered_map<std::string, TokenId> specialTokens_;
    std::unordered_set<TokenId> specialTokenIds_;
    std::optional<text::Regex> addedTokensRegex_;
    // Finds the expression's matches without its per-position cost; present exactly when the expression is.
    std::optional<AddedTokenMatcher> addedTokensMatcher_;
    std::shared_ptr<PreTokenizer> preTokenizer_;
    std::shared_ptr<Normalizer> normalizer_;
    std::shared_ptr<PostProcessor> postProcessor_;
    std::shared_ptr<Decoder> decoder_;
    Config tokenizerConfig_;
    bool cleanUpTokenizationSpaces_ = true;
};

} // namespace orvane
