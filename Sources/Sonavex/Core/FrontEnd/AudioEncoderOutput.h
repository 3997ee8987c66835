#pragma once
// A typed view of the encoder model's outputs (the stage itself reads the prediction directly).

#include "Sonavex/Core/ModelOutputView.h"

namespace sonavex {

class AudioEncoderOutput : public ModelOutputView {
public:
    using ModelOutputView::ModelOutputView;
    /// A provider holding just "encoder_output_embeds".
    explicit AudioEncoderOutput(std::shared_ptr<ml::MultiArray> encoder_output_embeds)
        : ModelOutputView("encoder_output_embeds", std::move(encoder_output_embeds)) {}

    /// The embeddings, or null when the provider holds no such array.
    std::shared_ptr<ml::MultiArray> encoder_output_embeds() const {
        return provider()->multiArray("encoder_output_embeds");
    }
};

} // namespace sonavex
