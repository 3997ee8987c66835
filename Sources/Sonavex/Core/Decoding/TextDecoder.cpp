#include "Sonavex/Core/Decoding/TextDecoder.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Models/ModelPrediction.h"
#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/Decoding/ProgressDispatcher.h"
#include "Sonavex/Core/Decoding/TextDecoderInput.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayInputType.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayOutputType.h"
#include "Sonavex/Core/Text/LanguageLogitsFilter.h"
#include "Sonavex/Core/Text/SuppressBlankFilter.h"
#include "Sonavex/Core/Text/SuppressTokensFilter.h"
#include "Sonavex/Core/Text/TimestampRulesFilter.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <cmath>

namespace sonavex {

using orvane::ModelUtilities;

bool TextDecoder::supportsWordTimestamps() const {
    return ModelUtilities::getModelOutputDimension(model(), "alignment_heads_weights", 0).has_value();
}

std::optional<int64_t> TextDecoder::logitsSize() const {
    return ModelUtilities::getModelOutputDimension(model(), "logits", 2);
}

std::optional<int64_t> TextDecoder::kvCacheEmbedDim() const {
    return ModelUtilities::getModelInputDimension(model(), "key_cache", 1);
}

std::optional<int64_t> TextDecoder::kvCacheMaxSequenceLength() const {
    return ModelUtilities::getModelInputDimension(model(), "key_cache", 3);
}

std::optional<int64_t> TextDecoder::windowSize() const {
    return ModelUtilities::getModelInputDimension(model(), "encoder_output_embeds", 3);
}

std::optional<int64_t> TextDecoder::embedSize() const {
    return ModelUtilities::getModelInputDimension(model(), "encoder_output_embeds", 1);
}

void TextDecoder::unloadModel() {
    setModel(nullptr);
    std::lock_guard lock(sharedStateMutex_);
    languageLogitsFilter_.reset();
}

std::shared_ptr<TextDecoderOutputType> TextDecoder::predictLogits(const TextDecoderInputType& input,
                                                                  std::stop_token stopToken) {
    const auto* arrays = dynamic_cast<const TextDecoderMLMultiArrayInputType*>(&input);
    if (!arrays) {
        throw WhisperError::transcriptionFailed("Input must be TextDecoderMLMultiArrayInputType");
    }
    const std::shared_ptr<ml::Model> heldModel = model();
    if (!heldModel) {
        return std::make_shared<TextDecoderMLMultiArrayOutputType>(nullptr, std::nullopt);
    }
    const TextDecoderInput modelInput(arrays->inputIds, arrays->cacheLength, arrays->keyCache,
                                      arrays->valueCache, arrays->kvCacheUpdateMask,
                                      arrays->encoderOutputEmbeds, arrays->decoderKeyPaddingMask);
    orvane::throwIfCancelled(stopToken);
    const std::shared_ptr<ml::FeatureProvider> outputs =
        orvane::asyncPrediction(*heldModel, modelInput, ml::PredictionOptions());
    auto output = [&](const std::string& name) { return outputs ? outputs->multiArray(name) : nullptr; };
    std::shared_ptr<ml::MultiArray> logits = output("logits");
    if (!logits) {
        throw WhisperError::decodingLogitsFailed("Unable to decode logits");
    }
    DecodingCache cache{output("key_cache_updates"), output("value_cache_updates"),
                        output("alignment_heads_weights")};
    for (const auto& [name, array] : {std::pair{"key_cache_updates", cache.keyCache},
                                      std::pair{"value_cache_updates", cache.valueCache}}) {
        if (!array) {
            throw WhisperError::decodingFailed(std::string("The decoder's prediction has no \"") + name +
                                               "\" output");
        }
    }
    return std::make_shared<TextDecoderMLMultiArrayOutputType>(std::move(logits), std::move(cache));
}

std::optional<std::pair<std::shared_ptr<ml::MultiArray>, std::optional<DecodingCache>>>
TextDecoder::predictLogits(std::shared_ptr<ml::MultiArray> inputIds,
                           std::shared_ptr<ml::MultiArray> cacheLength,
                           std::shared_ptr<ml::MultiArray> keyCache,
                           std::shared_ptr<ml::MultiArray> valueCache,
                           std::shared_ptr<ml::MultiArray> kvCacheUpdateMask,
                           std::shared_ptr<ml::MultiArray> encoderOutputEmbeds,
                           std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask, std::stop_token stopToken) {
    if (!model()) {
        return std::nullopt;
    }
    const TextDecoderMLMultiArrayInputType input(
        std::move(inputIds), std::move(cacheLength), std::move(keyCache), std::move(valueCache),
        std::move(kvCacheUpdateMask), std::move(encoderOutputEmbeds), std::move(decoderKeyPaddingMask));
    const auto output = std::dynamic_pointer_cast<TextDecoderMLMultiArrayOutputType>(
        TextDecoder::predictLogits(input, std::move(stopToken)));
    if (!output) {
        return std::nullopt;
    }
    return std::pair{output->logits, output->cache};
}

std::vector<std::shared_ptr<LogitsFiltering>>
TextDecoder::createLogitsFilters(const DecodingOptions& options, int64_t initialPromptIndex,
                                 const WhisperTokenizer& tokenizer) const {
    std::vector<std::shared_ptr<LogitsFiltering>> filters =
        logitsFilters().value_or(std::vector<std::shared_ptr<LogitsFiltering>>{});
    const SpecialTokens& special = tokenizer.specialTokens();
    if (options.suppressBlank) {
        filters.push_back(std::make_shared<SuppressBlankFilter>(special, initialPromptIndex));
    }
    if (!options.suppressTokens.empty()) {
        std::vector<int64_t> ids;
        for (int64_t id : options.suppressTokens) {
            if (id < special.specialTokenBegin) {
                ids.push_back(id);
            }
        }
        filters.push_back(std::make_shared<SuppressTokensFilter>(std::move(ids)));
    }
    if (!options.withoutTimestamps) {
        std::optional<int64_t> maxInitialTimestampIndex;
        if (options.maxInitialTimestamp) {
            // Outside 64 bits (or not finite) there is no index; no rule reads it anyway.
            const float index = std::trunc(*options.maxInitialTimestamp / 0.02f);
            if (std::isfinite(index) && std::fabs(index) < 0x1p63f) {
                maxInitialTimestampIndex = static_cast<int64_t>(index);
            }
        }
        filters.push_back(std::make_shared<TimestampRulesFilter>(
            special, initialPromptIndex, maxInitialTimestampIndex, isModelMultilingual()));
    }
    return filters;
}

void TextDecoder::debugCaches(const DecodingInputs& decoderInputs, int64_t) const {
    Logging::debug("--------------- DECODER INPUTS DEBUG ---------------");
    Logging::debug("Cache Length: " + formatNumber("%2.0f", decoderInputs.cacheLength->value(0)) +
                   " Input Token: " + formatNumber("%4.0f", decoderInputs.inputIds->value(0)));
    Logging::debug("Key Cache | Val Cache | Align Cache | Update Mask | Decoder Mask | Position");
    // Row p's first alignment weight: p x W (1500 for the public models) never reads past the array.
    const int64_t rowLength = decoderInputs.alignmentWeights->shape().back();
    for (int64_t position = 0; position < 4; ++position) {
        auto element = [](const ml::MultiArray& array, int64_t index) {
            return index < array.count() ? array.value(index) : std::nan("");
        };
        Logging::debug(formatNumber("%9.6f", element(*decoderInputs.keyCache, position)) + " | " +
                       formatNumber("%9.6f", element(*decoderInputs.valueCache, position)) + " | " +
                       formatNumber("%9.6f", element(*decoderInputs.alignmentWeights, position * rowLength)) +
                       " | " + formatNumber("%11.0f", element(*decoderInputs.kvCacheUpdateMask, position)) +
                       " | " +
                       formatNumber("%12.0f", element(*decoderInputs.decoderKeyPaddingMask, position)) +
                       " | " + std::to_string(position));
    }
}

std::shared_ptr<LanguageLogitsFilter> TextDecoder::languageFilter(const WhisperTokenizer& tokenizer,
                                                                  int64_t logitsDim) {
    std::lock_guard lock(sharedStateMutex_);
    if (!languageLogitsFilter_) {
        languageLogitsFilter_ =
            std::make_shared<LanguageLogitsFilter>(tokenizer.allLanguageTokens(), logitsDim, 0);
    }
    return languageLogitsFilter_;
}

void TextDecoder::waitForProgress() {
    std::shared_ptr<ProgressDispatcher> dispatcher;
    {
        std::lock_guard lock(sharedStateMutex_);
        dispatcher = progressDispatcher_;
    }
    if (dispatcher) {
        dispatcher->drain();
    }
}

std::shared_ptr<ProgressDispatcher> TextDecoder::progressDispatcher() {
    std::lock_guard lock(sharedStateMutex_);
    if (!progressDispatcher_) {
        progressDispatcher_ = std::make_shared<ProgressDispatcher>();
    }
    return progressDispatcher_;
}

} // namespace sonavex
