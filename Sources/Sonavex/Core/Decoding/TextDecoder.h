#pragma once
// The engine's decoder stage: runs the "TextDecoder" model one token per prediction. Its sizes come from
// the loaded model's description on every read, so they are absent while no model is loaded. The model
// is read and written under its lock; the tokenizer, the multilingual flag and the extra filters are
// plain settings that the owner sets before decoding starts. Several windows may be decoded at once, each
// with its own decoding state and sampler: stop flags are keyed per window, and the language filter and
// the progress thread are shared under locks.

#include "OrvaneCore/Concurrency/EarlyStopActor.h"
#include "OrvaneCore/Concurrency/Protected.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/WhisperMLModel.h"

#include <mutex>
#include <utility>

namespace sonavex {

class LanguageLogitsFilter;
class ProgressDispatcher;

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

    /// Releases the model and the cached language filter.
    void unloadModel() override;

    /// The input must be a TextDecoderMLMultiArrayInputType (transcriptionFailed otherwise). Without a
    /// model: at once an output with neither logits nor cache. Then the stop check, the prediction (the
    /// runtime's error passes unchanged) and a TextDecoderMLMultiArrayOutputType; a prediction lacking
    /// "logits" is decodingLogitsFailed "Unable to decode logits", one lacking a cache update
    /// decodingFailed naming the output.
    std::shared_ptr<TextDecoderOutputType> predictLogits(const TextDecoderInputType& input,
                                                         std::stop_token stopToken = {}) override;
    /// The same over seven separate arrays: no value without a model, else the logits and the step's
    /// cache updates.
    virtual std::optional<std::pair<std::shared_ptr<ml::MultiArray>, std::optional<DecodingCache>>>
    predictLogits(std::shared_ptr<ml::MultiArray> inputIds, std::shared_ptr<ml::MultiArray> cacheLength,
                  std::shared_ptr<ml::MultiArray> keyCache, std::shared_ptr<ml::MultiArray> valueCache,
                  std::shared_ptr<ml::MultiArray> kvCacheUpdateMask,
                  std::shared_ptr<ml::MultiArray> encoderOutputEmbeds,
                  std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask, std::stop_token stopToken = {});

    /// Errors: tokenizerUnavailable; prepareDecoderInputsFailed "Initial prompt must not be empty" or
    /// "Input must be MLMultiArray" (an encoder output that is no StageArray); decodingLogitsFailed when a
    /// step gives no logits; decodingFailed when it gives no cache update or the sampler fails; the
    /// prediction's own errors. The loop runs at most 223 steps and keeps at most 223 tokens.
    DecodingResult decodeText(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                              DecodingInputs& decoderInputs, TokenSampling& sampler,
                              const DecodingOptions& options,
                              const TranscriptionProgressCallback& callback = {},
                              std::stop_token stopToken = {}) override;

    /// Errors, in order: tokenizerUnavailable; modelsUnavailable "Failed to read logits size from model";
    /// prepareDecoderInputsFailed "Input must be MLMultiArray"; the prediction's errors; decodingLogitsFailed
    /// "Unable to decode logits from the model output". Writes only position 0 of inputIds and cacheLength.
    DecodingResult detectLanguage(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                                  DecodingInputs& decoderInputs, TokenSampling& sampler,
                                  const DecodingOptions& options, ml::Float16 temperature,
                                  std::stop_token stopToken = {}) override;

    /// Blocks until every progress callback posted so far has returned (and its stop request, if any, is
    /// recorded).
    void waitForProgress();

    /// The window's filters, in order: the decoder's own, then blank suppression, token suppression (ids
    /// below specialTokenBegin) and the timestamp rules, as the options ask.
    std::vector<std::shared_ptr<LogitsFiltering>>
    createLogitsFilters(const DecodingOptions& options, int64_t initialPromptIndex,
                        const WhisperTokenizer& tokenizer) const;

    /// The debug table of the state's first four positions (the step index is not used).
    void debugCaches(const DecodingInputs& decoderInputs, int64_t tokenIndex) const;

private:
    std::shared_ptr<LanguageLogitsFilter> languageFilter(const WhisperTokenizer& tokenizer,
                                                         int64_t logitsDim);
    std::shared_ptr<ProgressDispatcher> progressDispatcher();

    orvane::Protected<std::shared_ptr<ml::Model>> model_;
    std::shared_ptr<WhisperTokenizer> tokenizer_;
    bool isModelMultilingual_ = false;
    std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters_ =
        std::vector<std::shared_ptr<LogitsFiltering>>{};
    // Shared with progress jobs that may outlive a window.
    const std::shared_ptr<orvane::EarlyStopActor> earlyStopActor_ =
        std::make_shared<orvane::EarlyStopActor>();
    std::mutex sharedStateMutex_;
    std::shared_ptr<LanguageLogitsFilter> languageLogitsFilter_;
    std::shared_ptr<ProgressDispatcher> progressDispatcher_;
};

} // namespace sonavex
