#include "Sonavex/Core/Decoding/TextDecoding.h"

#include "Sonavex/Core/Constants.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <algorithm>
#include <string>

namespace sonavex {

namespace {

// The last `limit` tokens of `tokens`, then only those below `specialTokenBegin`, in order.
std::vector<int64_t> textTail(const std::vector<int64_t>& tokens, int64_t limit, int specialTokenBegin) {
    const auto count = static_cast<int64_t>(tokens.size());
    std::vector<int64_t> kept;
    for (auto token = tokens.begin() + std::max<int64_t>(count - limit, 0); token != tokens.end(); ++token) {
        if (*token < specialTokenBegin) {
            kept.push_back(*token);
        }
    }
    return kept;
}

} // namespace

std::shared_ptr<DecodingInputs> TextDecoding::prepareDecoderInputs(const std::vector<int64_t>& prompt) {
    const std::optional<int64_t> embedDim = kvCacheEmbedDim();
    if (!embedDim) {
        throw WhisperError::prepareDecoderInputsFailed("Unable to determine kvCacheEmbedDim");
    }
    const std::optional<int64_t> maxSequenceLength = kvCacheMaxSequenceLength();
    if (!maxSequenceLength) {
        throw WhisperError::prepareDecoderInputsFailed("Unable to determine kvCacheMaxSequenceLength");
    }
    const std::optional<int64_t> encoderOutputDim = windowSize();
    if (!encoderOutputDim) {
        throw WhisperError::prepareDecoderInputsFailed("Unable to determine encoderOutputDim");
    }
    // A window writes cache positions up to maxTokenContext - 1 and resets that many: a shorter cache
    // would be written past its end.
    if (*maxSequenceLength < Constants::maxTokenContext) {
        throw WhisperError::prepareDecoderInputsFailed(
            "The decoder's key cache holds " + std::to_string(*maxSequenceLength) +
            " positions, fewer than the " + std::to_string(Constants::maxTokenContext) + " a window needs");
    }
    return DecodingInputs::make(prompt, *embedDim, *maxSequenceLength, *encoderOutputDim);
}

DecodingInputs& TextDecoding::prefillDecoderInputs(DecodingInputs& decoderInputs,
                                                   const std::optional<DecodingOptions>& options) {
    const std::shared_ptr<WhisperTokenizer> tokenizer = this->tokenizer();
    if (!tokenizer) {
        throw WhisperError::tokenizerUnavailable();
    }
    const SpecialTokens& special = tokenizer->specialTokens();
    std::vector<int64_t> prompt{special.startOfTranscriptToken};
    if (options) {
        if (isModelMultilingual()) {
            const std::string language = options->language.value_or("en");
            prompt.push_back(
                tokenizer->convertTokenToId("<|" + language + "|>").value_or(special.englishToken));
            const char* taskToken =
                options->task == DecodingTask::translate ? "<|translate|>" : "<|transcribe|>";
            prompt.push_back(tokenizer->convertTokenToId(taskToken).value_or(special.transcribeToken));
        }
        prompt.push_back(options->withoutTimestamps ? special.noTimestampsToken : special.timeTokenBegin);

        if (options->promptTokens) {
            const std::vector<int64_t> earlier =
                textTail(*options->promptTokens, maxPromptTokens, special.specialTokenBegin);
            if (!earlier.empty()) {
                std::vector<int64_t> withEarlier{special.startOfPreviousToken};
                withEarlier.insert(withEarlier.end(), earlier.begin(), earlier.end());
                withEarlier.insert(withEarlier.end(), prompt.begin(), prompt.end());
                prompt = std::move(withEarlier);
            }
        }
        if (options->prefixTokens) {
            const auto length = static_cast<int64_t>(prompt.size());
            const int64_t limit = length <= shortPromptLength
                                      ? maxPrefixTokens
                                      : std::max<int64_t>(maxPromptLength - length, 0);
            const std::vector<int64_t> prefix =
                textTail(*options->prefixTokens, limit, special.specialTokenBegin);
            prompt.insert(prompt.end(), prefix.begin(), prefix.end());
        }
    }
    decoderInputs.initialPrompt = std::move(prompt);
    decoderInputs.kvCacheUpdateMask->setValue(0, 1);
    decoderInputs.decoderKeyPaddingMask->setValue(0, 0);
    return decoderInputs;
}

} // namespace sonavex
