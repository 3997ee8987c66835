#include "Sonavex/Core/WhisperMLModel.h"

namespace sonavex {

void WhisperMLModel::loadModel(const std::filesystem::path& url, ml::ComputeUnits computeUnits, bool prewarmMode) {
    ml::ModelConfiguration configuration;
    configuration.computeUnits = computeUnits;
    std::shared_ptr<ml::Model> loaded = ml::Model::load(url, configuration);
    setModel(prewarmMode ? nullptr : std::move(loaded));
}

void WhisperMLModel::unloadModel() { setModel(nullptr); }

orvane::ModelState WhisperMLModel::modelState() const {
    return model() ? orvane::ModelState::loaded : orvane::ModelState::unloaded;
}

} // namespace sonavex
