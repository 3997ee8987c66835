#include "Platform/ML/Model/Model.h"

#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/ModelCompiler.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKindRegistry.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Model/PredictionError.h"

namespace fs = std::filesystem;

namespace ml {

namespace {

void checkInputs(const ModelDescription& description, const FeatureProvider& input) {
    for (const auto& feature : description.inputs) {
        std::optional<FeatureValue> value = input.featureValue(feature.name);
        if (!value) {
            if (feature.isOptional) {
                continue;
            }
            throw PredictionError("Missing input feature \"" + feature.name + "\"");
        }
        if (value->type() != feature.type) {
            throw PredictionError("Input feature \"" + feature.name + "\" must be " + featureTypeName(feature.type) +
                                  ", not " + featureTypeName(value->type()));
        }
        if (feature.multiArrayConstraint && value->multiArrayValue()->shape() != feature.multiArrayConstraint->shape) {
            throw PredictionError("Input feature \"" + feature.name + "\" has shape " +
                                  shapeDescription(value->multiArrayValue()->shape()) + ", expected " +
                                  shapeDescription(feature.multiArrayConstraint->shape));
        }
    }
}

} // namespace

std::shared_ptr<Model> Model::load(const fs::path& location, const ModelConfiguration& configuration) {
    std::error_code error;
    if (!fs::exists(location, error)) {
        throw ModelLoadError(location, "no model exists at this location");
    }
    const fs::path package = ModelCompiler::packageRoot(location);
    if (package.empty()) {
        ModelFolder folder = ModelFolder::read(location);
        std::shared_ptr<const ModelKind> kind = ModelKindRegistry::shared().create(folder, configuration);
        return create(folder.description(), std::move(kind), configuration, location);
    }
    const fs::path cache = configuration.compiledModelCacheDirectory.empty()
                               ? ModelCompiler::defaultCacheDirectory()
                               : configuration.compiledModelCacheDirectory;
    ModelCompiler::Result compiled = ModelCompiler::compile(package, cache);
    try {
        ModelFolder folder = ModelFolder::read(compiled.compiledFolder);
        std::shared_ptr<const ModelKind> kind = ModelKindRegistry::shared().create(folder, configuration);
        return create(folder.description(), std::move(kind), configuration, compiled.compiledFolder);
    } catch (const ModelLoadError& failure) {
        // A package the kind rejects must not linger in the cache as if it were usable.
        if (compiled.created) {
            fs::remove_all(compiled.compiledFolder, error);
        }
        throw ModelLoadError(package, failure.problem());
    }
}

std::shared_ptr<Model> Model::create(ModelDescription description, std::shared_ptr<const ModelKind> kind,
                                     ModelConfiguration configuration, fs::path location) {
    if (!kind) {
        throw std::invalid_argument("a model needs a kind");
    }
    return std::make_shared<Model>(Token{}, std::move(description), std::move(kind), std::move(configuration),
                                   std::move(location));
}

Model::Model(Token, ModelDescription description, std::shared_ptr<const ModelKind> kind,
             ModelConfiguration configuration, fs::path location)
    : description_(std::move(description)), kind_(std::move(kind)), configuration_(std::move(configuration)),
      location_(std::move(location)) {}

std::shared_ptr<FeatureProvider> Model::predict(const FeatureProvider& input, const PredictionOptions& options) const {
    checkInputs(description_, input);
    auto outputs = std::make_shared<DictionaryFeatureProvider>();
    kind_->predict(input, options, *outputs);
    for (const auto& feature : description_.outputs) {
        if (!feature.isOptional && !outputs->featureValue(feature.name)) {
            throw PredictionError("The model produced no output \"" + feature.name + "\"");
        }
    }
    return outputs;
}

std::shared_ptr<State> Model::makeState() const {
    std::map<std::string, std::shared_ptr<MultiArray>> arrays;
    for (const auto& feature : description_.states) {
        if (!feature.multiArrayConstraint) {
            throw PredictionError("State \"" + feature.name + "\" is not an array");
        }
        arrays[feature.name] =
            std::make_shared<MultiArray>(feature.multiArrayConstraint->shape, feature.multiArrayConstraint->dataType);
    }
    return std::shared_ptr<State>(new State(this, std::move(arrays)));
}

std::shared_ptr<FeatureProvider> Model::predict(const FeatureProvider& input, State& state,
                                                const PredictionOptions& options) const {
    if (state.owner_ != this) {
        throw PredictionError("The state was made by another model");
    }
    DictionaryFeatureProvider inputs;
    for (const std::string& name : input.featureNames()) {
        inputs.set(name, *input.featureValue(name));
    }
    for (const auto& [name, array] : state.arrays_) {
        inputs.set(name, FeatureValue(array));
    }
    std::shared_ptr<FeatureProvider> produced = predict(inputs, options);
    auto outputs = std::make_shared<DictionaryFeatureProvider>();
    for (const std::string& name : produced->featureNames()) {
        const FeatureValue value = *produced->featureValue(name);
        auto kept = state.arrays_.find(name);
        if (kept == state.arrays_.end()) {
            outputs->set(name, value);
            continue;
        }
        const std::shared_ptr<MultiArray>& array = value.multiArrayValue();
        if (!array || array->shape() != kept->second->shape()) {
            throw PredictionError("Output \"" + name + "\" does not fit the state of that name");
        }
        if (array != kept->second) { // a kind may have updated the state's array in place
            *kept->second = array->converted(kept->second->dataType());
        }
    }
    return outputs;
}

std::future<std::shared_ptr<FeatureProvider>> Model::predictAsync(std::shared_ptr<const FeatureProvider> input,
                                                                  PredictionOptions options) const {
    if (!input) {
        throw std::invalid_argument("predictAsync needs an input provider");
    }
    std::shared_ptr<const Model> self = shared_from_this();
    return std::async(std::launch::async, [self, input = std::move(input), options]() {
        return self->predict(*input, options);
    });
}

} // namespace ml
