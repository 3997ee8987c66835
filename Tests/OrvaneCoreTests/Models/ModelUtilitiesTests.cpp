#include <filesystem>
#include <gtest/gtest.h>

#include "OrvaneCore/Models/MLModelLoading.h"
#include "OrvaneCore/Models/ModelPrediction.h"
#include "OrvaneCore/Models/ModelState.h"
#include "OrvaneCore/Models/ModelUtilities.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/PredictionError.h"
#include "Support/TestSupport.h"

namespace fs = std::filesystem;
using orvane::ModelUtilities;

namespace {

void makeFile(const fs::path& path) { testsupport::writeFile(path, "x"); }

class NoOutputs : public ml::ModelKind {
public:
    void predict(const ml::FeatureProvider&, const ml::PredictionOptions&, ml::DictionaryFeatureProvider&) const override {}
};

std::shared_ptr<ml::Model> describedModel() {
    ml::ModelDescription description;
    description.inputs.push_back(ml::FeatureDescription::multiArray("key_cache", ml::MultiArrayDataType::Float16, {1, 384, 1, 224}));
    description.inputs.push_back({"picture", ml::FeatureType::Image, false, std::nullopt});
    description.inputs.push_back({"count", ml::FeatureType::Int64, false, std::nullopt});
    description.outputs.push_back(ml::FeatureDescription::multiArray("logits", ml::MultiArrayDataType::Float16, {1, 1, 51865}));
    return ml::Model::create(description, std::make_shared<NoOutputs>());
}

} // namespace

TEST(ModelUtilities, CompiledModelsArePreferredAndMissingOnesStillNamed) {
    testsupport::TemporaryDirectory folder;
    const fs::path compiled = folder / "Encoder.mlmodelc";
    const fs::path packageFile = folder.path() / "Encoder.mlpackage" / "Data/com.apple.CoreML/model.mlmodel";
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Encoder"), compiled);
    fs::create_directories(folder / "Encoder.mlpackage");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Encoder"), compiled);
    makeFile(packageFile);
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Encoder"), packageFile);
    fs::create_directories(compiled);
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Encoder"), compiled);
    EXPECT_EQ(ModelUtilities::detectModelURL(folder / "absent", "Encoder"), folder / "absent" / "Encoder.mlmodelc");
}

TEST(ModelUtilities, RecursiveSearchFindsNestedCompiledModelsOnly) {
    testsupport::TemporaryDirectory folder;
    makeFile(folder.path() / "a" / "Decoder.mlpackage" / "Data/com.apple.CoreML/model.mlmodel");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Decoder", true), folder / "Decoder.mlmodelc");
    fs::create_directories(folder.path() / "a" / "b" / "Decoder.mlmodelc");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Decoder", true), folder.path() / "a" / "b" / "Decoder.mlmodelc");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path(), "Decoder", false), folder / "Decoder.mlmodelc");
}

TEST(ModelUtilities, ListingSearchPrefersAnyCompiledModel) {
    testsupport::TemporaryDirectory folder;
    EXPECT_FALSE(ModelUtilities::detectModelURL(folder / "absent"));
    EXPECT_FALSE(ModelUtilities::detectModelURL(folder.path()));
    fs::create_directories(folder / "b.mlpackage");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path()), folder / "b.mlpackage" / "Data/com.apple.CoreML/model.mlmodel");
    fs::create_directories(folder / "a.mlmodelc");
    fs::create_directories(folder / "c.MLMODELC");
    EXPECT_EQ(ModelUtilities::detectModelURL(folder.path()), folder / "a.mlmodelc");
}

TEST(ModelUtilities, ShapesOnlyForMultiArrayFeatures) {
    auto model = describedModel();
    EXPECT_EQ(ModelUtilities::getModelInputShape(model, "key_cache"), (std::vector<int64_t>{1, 384, 1, 224}));
    EXPECT_EQ(ModelUtilities::getModelInputDimension(model, "key_cache", 3), 224);
    EXPECT_FALSE(ModelUtilities::getModelInputDimension(model, "key_cache", 4));
    EXPECT_FALSE(ModelUtilities::getModelInputDimension(model, "key_cache", -1));
    EXPECT_FALSE(ModelUtilities::getModelInputShape(model, "picture"));
    EXPECT_FALSE(ModelUtilities::getModelInputShape(model, "count"));
    EXPECT_FALSE(ModelUtilities::getModelInputShape(model, "logits"));
    EXPECT_EQ(ModelUtilities::getModelOutputDimension(model, "logits", 2), 51865);
    EXPECT_FALSE(ModelUtilities::getModelOutputShape(nullptr, "logits"));
}

TEST(ModelPrediction, ErrorsReachTheCallerAndComputeUnitsHaveNames) {
    auto model = describedModel();
    ml::DictionaryFeatureProvider empty;
    EXPECT_THROW(orvane::asyncPrediction(*model, empty), ml::PredictionError);

    EXPECT_EQ(orvane::description(ml::ComputeUnits::cpuAndGPU), "cpuAndGPU");
    EXPECT_EQ(orvane::displayName(ml::ComputeUnits::cpuAndGPU), "GPU");
    EXPECT_EQ(orvane::displayName(ml::ComputeUnits::cpuAndNeuralEngine), "Neural Engine");
    EXPECT_EQ(orvane::description(static_cast<ml::ComputeUnits>(7)), "unknown");
    EXPECT_EQ(orvane::displayName(static_cast<ml::ComputeUnits>(-1)), "Unknown");
}

namespace {

// A running sum kept in the model's state: total <- total + x, and y = the new total.
struct RunningSum : ml::ModelKind {
    void predict(const ml::FeatureProvider& inputs, const ml::PredictionOptions&,
                 ml::DictionaryFeatureProvider& outputs) const override {
        const float total = inputs.multiArray("total")->toFloats()[0] + inputs.multiArray("x")->toFloats()[0];
        outputs.set("total", std::make_shared<ml::MultiArray>(ml::MultiArray::filled({1}, ml::MultiArrayDataType::Float32, total)));
        outputs.set("y", std::make_shared<ml::MultiArray>(ml::MultiArray::filled({1}, ml::MultiArrayDataType::Float32, total)));
    }
};

} // namespace

TEST(ModelPrediction, StatefulPredictionCarriesItsStateFromCallToCall) {
    ml::ModelDescription description;
    description.inputs.push_back(ml::FeatureDescription::multiArray("x", ml::MultiArrayDataType::Float32, {1}));
    description.outputs.push_back(ml::FeatureDescription::multiArray("y", ml::MultiArrayDataType::Float32, {1}));
    description.states.push_back(ml::FeatureDescription::multiArray("total", ml::MultiArrayDataType::Float16, {1}));
    auto model = ml::Model::create(description, std::make_shared<RunningSum>());
    auto state = model->makeState();
    ml::DictionaryFeatureProvider input;
    input.set("x", std::make_shared<ml::MultiArray>(ml::MultiArray::filled({1}, ml::MultiArrayDataType::Float32, 2.5)));
    orvane::asyncPrediction(*model, input, *state);
    auto outputs = orvane::asyncPrediction(*model, input, *state);
    EXPECT_EQ(outputs->multiArray("y")->toFloats()[0], 5.0f);
    EXPECT_FALSE(outputs->featureValue("total")); // kept in the state, not handed out
    EXPECT_EQ(state->array("total").dataType(), ml::MultiArrayDataType::Float16);
    EXPECT_EQ(state->array("total").toFloats()[0], 5.0f);
    // Each state is its own, and one model's state is refused by another.
    EXPECT_EQ(model->makeState()->array("total").toFloats()[0], 0.0f);
    auto other = ml::Model::create(description, std::make_shared<RunningSum>());
    EXPECT_THROW(orvane::asyncPrediction(*other, input, *state), ml::PredictionError);
}

TEST(ModelLoadingProtocol, ShortFormLoadsWithoutPrewarm) {
    struct Loader : orvane::MLModelLoading {
        using MLModelLoading::loadModel;
        void loadModel(const fs::path& url, ml::ComputeUnits units, bool prewarm) override {
            calls.push_back(url.string() + "/" + orvane::description(units) + "/" + (prewarm ? "prewarm" : "load"));
        }
        void unloadModel() override {}
        std::vector<std::string> calls;
    } loader;
    loader.loadModel("M.mlmodelc", ml::ComputeUnits::cpuOnly);
    EXPECT_EQ(loader.calls, (std::vector<std::string>{"M.mlmodelc/cpuOnly/load"}));
}
