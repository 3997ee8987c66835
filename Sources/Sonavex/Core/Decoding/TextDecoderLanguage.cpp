// Language detection: one decoder step on the start-of-transcript token with only language tokens open.

#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayInputType.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayOutputType.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/Text/LanguageLogitsFilter.h"
#include "Sonavex/Core/Text/TokenSampling.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Extensions/StringExtensions.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <chrono>

namespace sonavex {

DecodingResult TextDecoder::detectLanguage(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                                           DecodingInputs& decoderInputs, TokenSampling& sampler,
                                           const DecodingOptions&, ml::Float16, std::stop_token stopToken) {
    using Clock = std::chrono::steady_clock;
    const std::shared_ptr<WhisperTokenizer> tokenizer = this->tokenizer();
    if (!tokenizer) {
        throw WhisperError::tokenizerUnavailable();
    }
    const std::optional<int64_t> logitsDim =
        orvane::ModelUtilities::getModelOutputDimension(model(), "logits", 2);
    if (!logitsDim) {
        throw WhisperError::modelsUnavailable("Failed to read logits size from model");
    }
    const std::vector<int64_t> prompt{tokenizer->specialTokens().startOfTranscriptToken};
    const std::shared_ptr<LanguageLogitsFilter> filter = languageFilter(*tokenizer, *logitsDim);
    decoderInputs.inputIds->setValue(0, static_cast<double>(prompt[0]));
    decoderInputs.cacheLength->setValue(0, 0.0);

    const Clock::time_point predictionStart = Clock::now();
    Logging::debug("Detecting language...");
    std::shared_ptr<ml::MultiArray> encoderArray = StageArray::arrayOf(encoderOutput.get());
    if (!encoderArray) {
        throw WhisperError::prepareDecoderInputsFailed("Input must be MLMultiArray");
    }
    const TextDecoderMLMultiArrayInputType input(
        decoderInputs.inputIds, decoderInputs.cacheLength, decoderInputs.keyCache, decoderInputs.valueCache,
        decoderInputs.kvCacheUpdateMask, std::move(encoderArray), decoderInputs.decoderKeyPaddingMask);
    const auto output = std::dynamic_pointer_cast<TextDecoderMLMultiArrayOutputType>(
        predictLogits(input, std::move(stopToken)));
    if (!output || !output->logits) {
        Logging::error("Unable to decode logits");
        throw WhisperError::decodingLogitsFailed("Unable to decode logits from the model output");
    }
    TranscriptionTimings timings;
    timings.decodingPredictions = std::chrono::duration<double>(Clock::now() - predictionStart).count();

    std::shared_ptr<ml::MultiArray> logits = output->logits;
    if (logits->dataType() != ml::MultiArrayDataType::Float16) {
        logits = std::make_shared<ml::MultiArray>(logits->converted(ml::MultiArrayDataType::Float16));
    }
    logits = filter->filterLogits(std::move(logits), prompt);

    const Clock::time_point samplingStart = Clock::now();
    const SamplingResult sampled = sampler.update(prompt, *logits, {0.0f});
    timings.decodingSampling = std::chrono::duration<double>(Clock::now() - samplingStart).count();
    if (sampled.tokens.empty()) {
        throw WhisperError::decodingFailed("The sampler returned no token");
    }

    auto codeOf = [&](int64_t token) {
        return trimmingSpecialTokenCharacters(tokenizer->decode({static_cast<int>(token)}));
    };
    DecodingResult result;
    const std::set<int>& languages = tokenizer->allLanguageTokens();
    for (std::size_t i = 0; i < sampled.tokens.size() && i < sampled.logProbs.size(); ++i) {
        if (languages.count(static_cast<int>(sampled.tokens[i])) > 0) {
            result.languageProbs[codeOf(sampled.tokens[i])] = sampled.logProbs[i];
        }
    }
    const std::string code = codeOf(sampled.tokens.back());
    if (Constants::languageCodes().count(code) > 0) {
        Logging::debug("Detected language: " + code);
        result.language = code;
    } else {
        Logging::error("Detected language", code, "is not supported, defaulting to", "en");
        result.language = "en";
    }
    result.timings = timings;
    return result;
}

} // namespace sonavex
