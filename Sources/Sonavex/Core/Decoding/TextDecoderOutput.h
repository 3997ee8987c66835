#pragma once
// The decoder model's outputs under their feature names: logits, the step's key and value updates and,
// for models with word-timestamp support, the alignment heads' weights.

#include "Sonavex/Core/ModelOutputView.h"

namespace sonavex {

class TextDecoderOutput : public ModelOutputView {
public:
    /// A view of a prediction's outputs.
    using ModelOutputView::ModelOutputView;
    /// A provider of exactly "logits", "key_cache_updates" and "value_cache_updates" (none may be null);
    /// `logitsArgmax`, the index of the largest logit, is accepted and not kept.
    TextDecoderOutput(std::shared_ptr<ml::MultiArray> logits,
                      std::shared_ptr<ml::MultiArray> key_cache_updates,
                      std::shared_ptr<ml::MultiArray> value_cache_updates,
                      std::shared_ptr<ml::MultiArray> logitsArgmax);

    /// The three required outputs; std::runtime_error naming the feature when the provider lacks it.
    std::shared_ptr<ml::MultiArray> logits() const;
    std::shared_ptr<ml::MultiArray> key_cache_updates() const;
    std::shared_ptr<ml::MultiArray> value_cache_updates() const;
    /// Null for a model without word-timestamp support.
    std::shared_ptr<ml::MultiArray> alignment_heads_weights() const;

private:
    std::shared_ptr<ml::MultiArray> required(const std::string& name) const;
};

} // namespace sonavex
