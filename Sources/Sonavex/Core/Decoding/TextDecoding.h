#pragma once
// The decoder stage: turns one window of encoder output into tokens, one model step per token, over a
// key/value cache the engine keeps outside the model (DecodingInputs). The engine holds it through this
// interface, so a configuration can put a decoder of its own in the engine's place.
//
// Here: the decoder's sizes and settings, and the default bodies every decoder gets — making the
// decoding state from the model's sizes, filling a window's opening tokens into it, and copying one
// step's cache updates into it.

#include "Platform/ML/Values/Half.h"
#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Decoding/DecodingInputs.h"
#include "Sonavex/Core/Decoding/TextDecoderInputType.h"
#include "Sonavex/Core/Decoding/TextDecoderOutputType.h"
#include "Sonavex/Core/FrontEnd/AudioEncoderOutputType.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/DecodingResult.h"
#include "Sonavex/Core/Results/TranscriptionProgress.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace sonavex {

class LogitsFiltering;
class TokenSampling;

class TextDecoding {
public:
    /// Prompt limits of prefillDecoderInputs: the tail of the caller's earlier text that is kept, and the
    /// most prefix tokens (fewer once the prompt before them is longer than shortPromptLength).
    static constexpr int64_t maxPromptTokens = 111;
    static constexpr int64_t maxPrefixTokens = 112;
    static constexpr int64_t shortPromptLength = 110;
    static constexpr int64_t maxPromptLength = 222;

    virtual ~TextDecoding() = default;

    virtual std::shared_ptr<WhisperTokenizer> tokenizer() const = 0;
    virtual void setTokenizer(std::shared_ptr<WhisperTokenizer> tokenizer) = 0;
    /// Multilingual decoders get language and task tokens in their prompt.
    virtual bool isModelMultilingual() const = 0;
    virtual void setIsModelMultilingual(bool isModelMultilingual) = 0;
    virtual bool supportsWordTimestamps() const = 0;
    virtual std::optional<int64_t> logitsSize() const = 0;
    /// Extra filters of the engine's configuration, run before the built-in ones.
    virtual std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters() const = 0;
    virtual void
    setLogitsFilters(std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters) = 0;
    /// E: key/value channels per cache position.
    virtual std::optional<int64_t> kvCacheEmbedDim() const = 0;
    /// S: cache positions.
    virtual std::optional<int64_t> kvCacheMaxSequenceLength() const = 0;
    /// W: encoder frames of one window.
    virtual std::optional<int64_t> windowSize() const = 0;
    /// Width of one encoder embedding.
    virtual std::optional<int64_t> embedSize() const = 0;

    /// One decoder step. Blocking; throws orvane::CancellationError when `stopToken` is triggered before
    /// the prediction.
    virtual std::shared_ptr<TextDecoderOutputType> predictLogits(const TextDecoderInputType& input,
                                                                 std::stop_token stopToken = {}) = 0;

    /// Decodes one window of encoder output from the prompt in `decoderInputs` (at position 0), advancing
    /// them in place. `callback` gets progress after each step on another thread; its false stops the
    /// window a step or more later. Blocking.
    virtual DecodingResult decodeText(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                                      DecodingInputs& decoderInputs, TokenSampling& sampler,
                                      const DecodingOptions& options,
                                      const TranscriptionProgressCallback& callback = {},
                                      std::stop_token stopToken = {}) = 0;

    /// The window's spoken language from one decoder step on the start-of-transcript token; the result
    /// carries no text. Blocking.
    virtual DecodingResult detectLanguage(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                                          DecodingInputs& decoderInputs, TokenSampling& sampler,
                                          const DecodingOptions& options, ml::Float16 temperature,
                                          std::stop_token stopToken = {}) = 0;

    /// Fresh decoding state for this decoder's sizes, opening with `prompt`. prepareDecoderInputsFailed
    /// when a size is unknown ("Unable to determine kvCacheEmbedDim", "… kvCacheMaxSequenceLength",
    /// "… encoderOutputDim", checked in that order) or when S is below Constants::maxTokenContext, the
    /// positions a window may use; array creation errors pass unchanged.
    virtual std::shared_ptr<DecodingInputs> prepareDecoderInputs(const std::vector<int64_t>& prompt);

    /// Fills the window's opening tokens into `decoderInputs` and makes position 0 writable and visible;
    /// returns the same object. No options: [start of transcript]. Otherwise start of transcript, then for
    /// a multilingual decoder the language ("en" without one; the English token when the tokenizer has no
    /// such token) and the task token, then the timestamp mode; earlier text (`promptTokens`, the last 111,
    /// special ids dropped) goes in front after the start-of-previous token, and the forced prefix
    /// (`prefixTokens`, special ids dropped) at the end, limited so the prompt stays within 222 tokens.
    /// tokenizerUnavailable without a tokenizer. Writes no cache content.
    virtual DecodingInputs& prefillDecoderInputs(DecodingInputs& decoderInputs,
                                                 const std::optional<DecodingOptions>& options);

    /// Copies one step's key and value updates ([1, E, 1, n] half floats) into positions insertAtIndex ..<
    /// insertAtIndex + n of the caches ([1, E, 1, S]), as raw 2-byte values; nothing else changes.
    /// decodingFailed, before anything is written, when an array is not half precision, the shapes
    /// disagree or the positions lie outside the caches.
    virtual void updateKVCache(ml::MultiArray& keyTensor, const ml::MultiArray& keySlice,
                               ml::MultiArray& valueTensor, const ml::MultiArray& valueSlice,
                               int64_t insertAtIndex) const;

    /// Copies one step's alignment weights ([1, W]) into row insertAtIndex + 1 of `alignmentTensor`
    /// ([S, W]): the row after the cache position the same step fills. decodingFailed, before anything is
    /// written, for arrays that are not half precision or disagree in W, or a row outside 1 ..< S.
    static void updateAlignmentWeights(ml::MultiArray& alignmentTensor, const ml::MultiArray& alignmentSlice,
                                       int64_t insertAtIndex);
};

} // namespace sonavex
