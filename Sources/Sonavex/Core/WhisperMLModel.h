#pragma once
// The contract of an engine stage that wraps one model (mel spectrogram, audio encoder, text decoder):
// the facade loads, prewarms and unloads stages through it alone. Conformers keep their model behind
// their own lock; every member here goes through model()/setModel().

#include <filesystem>
#include <memory>

#include "OrvaneCore/Models/ModelState.h"
#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Model/Model.h"

namespace sonavex {

class WhisperMLModel {
public:
    virtual ~WhisperMLModel() = default;

    /// The loaded model, or null while the stage holds none.
    virtual std::shared_ptr<ml::Model> model() const = 0;
    virtual void setModel(std::shared_ptr<ml::Model> model) = 0;

    /// Loads the model at `url` for the compute units (blocking). A failed load throws the runtime's error
    /// unchanged and leaves the stage as it was; a prewarm loads (the runtime specialises the model for
    /// the machine) and then releases both the new model and any model held before.
    virtual void loadModel(const std::filesystem::path& url, ml::ComputeUnits computeUnits, bool prewarmMode);

    /// Releases the model.
    virtual void unloadModel();

    /// loaded while a model is held, otherwise unloaded.
    orvane::ModelState modelState() const;
};

} // namespace sonavex
