#include "Sonavex/Core/Decoding/TextDecoderOutput.h"

#include "Platform/ML/Values/DictionaryFeatureProvider.h"

#include <stdexcept>

namespace sonavex {

TextDecoderOutput::TextDecoderOutput(std::shared_ptr<ml::MultiArray> logits,
                                     std::shared_ptr<ml::MultiArray> key_cache_updates,
                                     std::shared_ptr<ml::MultiArray> value_cache_updates,
                                     std::shared_ptr<ml::MultiArray> /*logitsArgmax*/)
    : ModelOutputView(std::make_shared<ml::DictionaryFeatureProvider>(
          std::map<std::string, ml::FeatureValue>{{"logits", std::move(logits)},
                                                  {"key_cache_updates", std::move(key_cache_updates)},
                                                  {"value_cache_updates", std::move(value_cache_updates)}})) {
}

std::shared_ptr<ml::MultiArray> TextDecoderOutput::required(const std::string& name) const {
    std::shared_ptr<ml::MultiArray> array = provider()->multiArray(name);
    if (!array) {
        throw std::runtime_error("decoder output has no \"" + name + "\" array");
    }
    return array;
}

std::shared_ptr<ml::MultiArray> TextDecoderOutput::logits() const {
    return required("logits");
}
std::shared_ptr<ml::MultiArray> TextDecoderOutput::key_cache_updates() const {
    return required("key_cache_updates");
}
std::shared_ptr<ml::MultiArray> TextDecoderOutput::value_cache_updates() const {
    return required("value_cache_updates");
}
std::shared_ptr<ml::MultiArray> TextDecoderOutput::alignment_heads_weights() const {
    return provider()->multiArray("alignment_heads_weights");
}

} // namespace sonavex
