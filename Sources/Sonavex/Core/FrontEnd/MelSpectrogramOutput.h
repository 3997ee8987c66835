#pragma once
// A typed view of the mel model's outputs (the stage itself reads the prediction directly).

#include "Sonavex/Core/ModelOutputView.h"

namespace sonavex {

class MelSpectrogramOutput : public ModelOutputView {
public:
    using ModelOutputView::ModelOutputView;
    /// A provider holding just "melspectrogram_features".
    explicit MelSpectrogramOutput(std::shared_ptr<ml::MultiArray> melspectrogram_features)
        : ModelOutputView("melspectrogram_features", std::move(melspectrogram_features)) {}

    /// The features, or null when the provider holds no such array.
    std::shared_ptr<ml::MultiArray> melspectrogramFeatures() const {
        return provider()->multiArray("melspectrogram_features");
    }
};

} // namespace sonavex
