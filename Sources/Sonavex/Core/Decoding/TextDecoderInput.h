#pragma once
// The decoder model's seven inputs under their feature names, handed over without copying.

#include "Platform/ML/Values/FeatureProvider.h"

#include <memory>

namespace sonavex {

class TextDecoderInput : public ml::FeatureProvider {
public:
    TextDecoderInput(std::shared_ptr<ml::MultiArray> input_ids, std::shared_ptr<ml::MultiArray> cache_length,
                     std::shared_ptr<ml::MultiArray> key_cache, std::shared_ptr<ml::MultiArray> value_cache,
                     std::shared_ptr<ml::MultiArray> kv_cache_update_mask,
                     std::shared_ptr<ml::MultiArray> encoder_output_embeds,
                     std::shared_ptr<ml::MultiArray> decoder_key_padding_mask);

    std::shared_ptr<ml::MultiArray> input_ids;
    std::shared_ptr<ml::MultiArray> cache_length;
    std::shared_ptr<ml::MultiArray> key_cache;
    std::shared_ptr<ml::MultiArray> value_cache;
    std::shared_ptr<ml::MultiArray> kv_cache_update_mask;
    std::shared_ptr<ml::MultiArray> encoder_output_embeds;
    std::shared_ptr<ml::MultiArray> decoder_key_padding_mask;

    std::set<std::string> featureNames() const override;
    /// The array of exactly one of the seven names; nothing for any other name.
    std::optional<ml::FeatureValue> featureValue(const std::string& name) const override;
};

} // namespace sonavex
