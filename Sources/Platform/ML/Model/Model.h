#pragma once
// A loaded model: its description, the configuration it was loaded with, and prediction.
// predict() is thread-safe and re-entrant: weights are read-only, scratch memory belongs to each call,
// so several windows can run at once on one model. Hold models through std::shared_ptr: a prediction
// in flight keeps its model alive even when its owner lets go.

#include <filesystem>
#include <future>
#include <memory>

#include "Platform/ML/Values/FeatureProvider.h"
#include "Platform/ML/Model/ModelConfiguration.h"
#include "Platform/ML/Model/ModelDescription.h"
#include "Platform/ML/Model/ModelKind.h"
#include "Platform/ML/Model/PredictionOptions.h"
#include "Platform/ML/Model/State.h"

namespace ml {

class Model : public std::enable_shared_from_this<Model> {
    struct Token {};

public:
    /// Loads "<Name>.mlmodelc", "<Name>.mlpackage" or a package's "Data/com.apple.CoreML/model.mlmodel";
    /// a package is compiled into the cache first. Throws ModelLoadError.
    static std::shared_ptr<Model> load(const std::filesystem::path& location,
                                       const ModelConfiguration& configuration = {});

    /// A model around a kind built elsewhere (tests, tools).
    static std::shared_ptr<Model> create(ModelDescription description, std::shared_ptr<const ModelKind> kind,
                                         ModelConfiguration configuration = {},
                                         std::filesystem::path location = {});

    Model(Token, ModelDescription description, std::shared_ptr<const ModelKind> kind,
          ModelConfiguration configuration, std::filesystem::path location);

    const ModelDescription& description() const { return description_; }
    const ModelConfiguration& configuration() const { return configuration_; }
    /// The compiled folder the model runs from (empty for models made with create()).
    const std::filesystem::path& location() const { return location_; }

    /// Checks the inputs against the description (PredictionError when one is missing, not an array or
    /// shaped otherwise) and computes every declared output.
    std::shared_ptr<FeatureProvider> predict(const FeatureProvider& input, const PredictionOptions& options = {}) const;

    /// The same on a worker thread; the future carries the outputs or the error.
    std::future<std::shared_ptr<FeatureProvider>> predictAsync(std::shared_ptr<const FeatureProvider> input,
                                                               PredictionOptions options = {}) const;

    /// A fresh state for stateful prediction: a zeroed array per state the description declares.
    std::shared_ptr<State> makeState() const;

    /// A stateful prediction: the state's arrays are inputs of the same names, and the outputs of those
    /// names go back into the state instead of into the returned outputs. PredictionError for a state made
    /// by another model, or an output whose shape does not fit its state.
    std::shared_ptr<FeatureProvider> predict(const FeatureProvider& input, State& state,
                                             const PredictionOptions& options = {}) const;

private:
    ModelDescription description_;
    std::shared_ptr<const ModelKind> kind_;
    ModelConfiguration configuration_;
    std::filesystem::path location_;
};

} // namespace ml
