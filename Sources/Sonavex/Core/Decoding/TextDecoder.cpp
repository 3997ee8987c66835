#include "Sonavex/Core/Decoding/TextDecoder.h"

#include "OrvaneCore/Models/ModelUtilities.h"

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
}

} // namespace sonavex
