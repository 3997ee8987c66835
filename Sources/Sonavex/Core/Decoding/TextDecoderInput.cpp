#include "Sonavex/Core/Decoding/TextDecoderInput.h"

namespace sonavex {

TextDecoderInput::TextDecoderInput(std::shared_ptr<ml::MultiArray> input_ids,
                                   std::shared_ptr<ml::MultiArray> cache_length,
                                   std::shared_ptr<ml::MultiArray> key_cache,
                                   std::shared_ptr<ml::MultiArray> value_cache,
                                   std::shared_ptr<ml::MultiArray> kv_cache_update_mask,
                                   std::shared_ptr<ml::MultiArray> encoder_output_embeds,
                                   std::shared_ptr<ml::MultiArray> decoder_key_padding_mask)
    : input_ids(std::move(input_ids)), cache_length(std::move(cache_length)), key_cache(std::move(key_cache)),
      value_cache(std::move(value_cache)), kv_cache_update_mask(std::move(kv_cache_update_mask)),
      encoder_output_embeds(std::move(encoder_output_embeds)),
      decoder_key_padding_mask(std::move(decoder_key_padding_mask)) {}

std::set<std::string> TextDecoderInput::featureNames() const {
    return {"input_ids",
            "cache_length",
            "key_cache",
            "value_cache",
            "kv_cache_update_mask",
            "encoder_output_embeds",
            "decoder_key_padding_mask"};
}

std::optional<ml::FeatureValue> TextDecoderInput::featureValue(const std::string& name) const {
    const std::shared_ptr<ml::MultiArray>* field = nullptr;
    if (name == "input_ids") {
        field = &input_ids;
    } else if (name == "cache_length") {
        field = &cache_length;
    } else if (name == "key_cache") {
        field = &key_cache;
    } else if (name == "value_cache") {
        field = &value_cache;
    } else if (name == "kv_cache_update_mask") {
        field = &kv_cache_update_mask;
    } else if (name == "encoder_output_embeds") {
        field = &encoder_output_embeds;
    } else if (name == "decoder_key_padding_mask") {
        field = &decoder_key_padding_mask;
    }
    if (!field || !*field) {
        return std::nullopt;
    }
    return ml::FeatureValue(*field);
}

} // namespace sonavex
