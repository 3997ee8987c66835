#pragma once
// The computation behind a model: one class per "kind" named in model.json, built once per load from the
// checked ModelFolder and then asked for predictions from any number of threads at once.
//
// How to add a kind:
//  1. Derive a class from ModelKind in Platform/ML/ (for example AudioEncoderModel.h/.cpp). Its constructor
//     takes `const ModelFolder&` (and the load's ModelConfiguration if its compute units matter), reads the
//     hyper-parameters (folder.parameters().integer("n_layer") ...), checks the declared inputs and outputs
//     (folder.requireInput/requireOutput) and every weight it uses (folder.weights().tensor(name, shape) or
//     .array(name, shape, type)), and throws on anything wrong: std::invalid_argument for description
//     problems, ModelLoadError from the weights. The loader turns any exception into a ModelLoadError naming
//     the model, so a failed load never leaves a half-built model. Keep folder.sharedWeights() if you read
//     the mapped weights in place.
//  2. Implement predict(). Model::predict has already checked that every declared, non-optional input is
//     present, is a multi-array and has the declared shape (element types are not checked: convert what you
//     accept, e.g. with MultiArray::toFloats()). Write every declared output into `outputs`. predict() is
//     const and re-entrant: weights are read-only after construction and all scratch memory is per call.
//  3. Register it: one line in registerBuiltinModelKinds() (ModelKindRegistry.cpp), and teach
//     Tools/make-test-models to write one (ModelWriter does the files).

#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Values/FeatureProvider.h"
#include "Platform/ML/Model/ModelConfiguration.h"
#include "Platform/ML/Model/PredictionOptions.h"

#include <functional>
#include <memory>

namespace ml {

class ModelFolder;

class ModelKind {
public:
    virtual ~ModelKind() = default;

    virtual void predict(const FeatureProvider& inputs, const PredictionOptions& options,
                         DictionaryFeatureProvider& outputs) const = 0;
};

/// Builds a kind from a checked folder for a load's configuration; throws on anything it cannot run.
using ModelKindFactory =
    std::function<std::unique_ptr<ModelKind>(const ModelFolder&, const ModelConfiguration&)>;

} // namespace ml
