#pragma once
// The engine's decoder stage: runs the "TextDecoder" model one token per prediction. Its sizes come from
// the loaded model's description on every read, so they are absent while no model is loaded. The model
// is read and written under its lock; the tokenizer, the multilingual flag and the extra filters are
// plain settings that the owner sets before decoding starts.

#include "OrvaneCore/Concurrency/Protected.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/WhisperMLModel.h"

namespace sonavex {

class TextDecoder : public TextDecoding, public WhisperMLModel {
public:
    TextDecoder() = default;

    std::shared_ptr<ml::Model> model() const override { return model_.get(); }
    void setModel(std::shared_ptr<ml::Model> model) override { model_.set(std::move(model)); }

    std::shared_ptr<WhisperTokenizer> tokenizer() const override { return tokenizer_; }
    void setTokenizer(std::shared_ptr<WhisperTokenizer> tokenizer) override {
        tokenizer_ = std::move(tokenizer);
    }
    bool isModelMultilingual() const override { return isModelMultilingual_; }
    void setIsModelMultilingual(bool isModelMultilingual) override {
        isModelMultilingual_ = isModelMultilingual;
    }
    std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters() const override {
        return logitsFilters_;
    }
    void
    setLogitsFilters(std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters) override {
        logitsFilters_ = std::move(logitsFilters);
    }

    /// True when the model has the output "alignment_heads_weights" (with a dimension 0).
    bool supportsWordTimestamps() const override;
    /// Dimension 2 of the output "logits".
    std::optional<int64_t> logitsSize() const override;
    /// Dimension 1 of the input "key_cache".
    std::optional<int64_t> kvCacheEmbedDim() const override;
    /// Dimension 3 of the input "key_cache".
    std::optional<int64_t> kvCacheMaxSequenceLength() const override;
    /// Dimension 3 of the input "encoder_output_embeds".
    std::optional<int64_t> windowSize() const override;
    /// Dimension 1 of the input "encoder_output_embeds".
    std::optional<int64_t> embedSize() const override;

    void unloadModel() override;

private:
    orvane::Protected<std::shared_ptr<ml::Model>> model_;
    std::shared_ptr<WhisperTokenizer> tokenizer_;
    bool isModelMultilingual_ = false;
    std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters_ =
        std::vector<std::shared_ptr<LogitsFiltering>>{};
};

} // namespace sonavex
