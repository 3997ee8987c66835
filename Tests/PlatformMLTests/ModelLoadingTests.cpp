#include <atomic>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Model/ModelCompiler.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKindRegistry.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Model/PredictionError.h"
#include "Support/TestSupport.h"

namespace fs = std::filesystem;
using testing::AllOf;
using testing::HasSubstr;

namespace {

// y = x * factor + bias: small enough to check by hand, and it exercises parameters, weights and outputs.
class ScaleKind : public ml::ModelKind {
public:
    explicit ScaleKind(const ml::ModelFolder& folder)
        : factor_(static_cast<float>(folder.parameters().number("factor"))),
          size_(folder.parameters().integer("size")) {
        folder.requireInput("x", ml::MultiArrayDataType::Float32, {size_});
        folder.requireOutput("y", ml::MultiArrayDataType::Float32, {size_});
        bias_ = folder.weights().array("bias", {size_}).toFloats();
    }
    void predict(const ml::FeatureProvider& inputs, const ml::PredictionOptions&,
                 ml::DictionaryFeatureProvider& outputs) const override {
        std::vector<float> x = inputs.multiArray("x")->toFloats();
        for (int64_t i = 0; i < size_; ++i) {
            x[i] = x[i] * factor_ + bias_[i];
        }
        outputs.set("y", ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::MultiArray::fromFloats({size_}, x))));
    }

private:
    float factor_;
    int64_t size_;
    std::vector<float> bias_;
};

class ModelLoading : public testing::Test {
protected:
    void SetUp() override {
        ml::ModelKindRegistry::shared().add("test_scale",
                                            [](const ml::ModelFolder& folder, const ml::ModelConfiguration&) {
                                                return std::make_unique<ScaleKind>(folder);
                                            });
        configuration.compiledModelCacheDirectory = temporary / "cache";
    }

    static ml::ModelWriter scaleWriter(double factor = 2.0, int64_t biasSize = 3) {
        ml::ModelWriter writer("test_scale");
        writer.parameters().set("factor", factor);
        writer.parameters().set("size", int64_t{3});
        writer.description().inputs.push_back(ml::FeatureDescription::multiArray("x", ml::MultiArrayDataType::Float32, {3}));
        writer.description().outputs.push_back(ml::FeatureDescription::multiArray("y", ml::MultiArrayDataType::Float32, {3}));
        writer.addTensor("bias", ml::MultiArray::filled({biasSize}, ml::MultiArrayDataType::Float32, 0.5));
        return writer;
    }

    static std::string loadError(const fs::path& location, const ml::ModelConfiguration& configuration = {}) {
        try {
            ml::Model::load(location, configuration);
        } catch (const ml::ModelLoadError& error) {
            return error.what();
        }
        return "no error";
    }

    static std::vector<float> run(const ml::Model& model, std::vector<float> x) {
        ml::DictionaryFeatureProvider input;
        input.set("x", ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::MultiArray::fromFloats({3}, x))));
        return model.predict(input)->multiArray("y")->toFloats();
    }

    testsupport::TemporaryDirectory temporary;
    ml::ModelConfiguration configuration;
};

} // namespace

TEST_F(ModelLoading, CompiledFolderLoadsDescribesAndPredicts) {
    const fs::path folder = temporary / "Scale.mlmodelc";
    scaleWriter().writeCompiled(folder);
    configuration.computeUnits = static_cast<ml::ComputeUnits>(42);
    auto model = ml::Model::load(folder, configuration);
    EXPECT_EQ(model->configuration().computeUnits, static_cast<ml::ComputeUnits>(42));
    ASSERT_NE(model->description().findInput("x"), nullptr);
    EXPECT_EQ(model->description().findOutput("y")->multiArrayConstraint->shape, (std::vector<int64_t>{3}));
    EXPECT_EQ(run(*model, {1, 2, 3}), (std::vector<float>{2.5f, 4.5f, 6.5f}));
}

TEST_F(ModelLoading, KindsAreBuiltForTheLoadsComputeUnits) {
    // The kind decides its precision from the units: they must reach it from folders and packages alike.
    static std::vector<ml::ComputeUnits> seen;
    seen.clear();
    ml::ModelKindRegistry::shared().add("test_scale", [](const ml::ModelFolder& folder,
                                                         const ml::ModelConfiguration& configuration) {
        seen.push_back(configuration.computeUnits);
        return std::make_unique<ScaleKind>(folder);
    });
    scaleWriter().writeCompiled(temporary / "Scale.mlmodelc");
    scaleWriter().writePackage(temporary / "Scale.mlpackage");
    configuration.computeUnits = ml::ComputeUnits::cpuOnly;
    ml::Model::load(temporary / "Scale.mlmodelc", configuration);
    configuration.computeUnits = ml::ComputeUnits::cpuAndNeuralEngine;
    ml::Model::load(temporary / "Scale.mlpackage", configuration);
    EXPECT_EQ(seen, (std::vector<ml::ComputeUnits>{ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine}));
}

TEST_F(ModelLoading, BadFoldersFailWithTheReason) {
    EXPECT_THAT(loadError(temporary / "Missing.mlmodelc"), HasSubstr("no model exists"));

    const fs::path folder = temporary / "Scale.mlmodelc";
    scaleWriter().writeCompiled(folder);
    const std::string description = testsupport::readFile(folder / "model.json");

    testsupport::writeFile(folder / "model.json", description.substr(0, description.size() / 2));
    EXPECT_THAT(loadError(folder), AllOf(HasSubstr("Scale.mlmodelc"), HasSubstr("model.json is not a valid JSON")));

    std::string unknown = description;
    unknown.replace(unknown.find("test_scale"), 10, "test_other");
    testsupport::writeFile(folder / "model.json", unknown);
    EXPECT_THAT(loadError(folder), HasSubstr("unknown model kind \"test_other\""));

    std::string wrongType = description;
    wrongType.replace(wrongType.find("Float32"), 7, "Float17");
    testsupport::writeFile(folder / "model.json", wrongType);
    EXPECT_THAT(loadError(folder), HasSubstr("unknown dataType \"Float17\""));

    std::string numericType = description;
    numericType.replace(numericType.find("\"multiArray\""), 12, "5");
    testsupport::writeFile(folder / "model.json", numericType);
    EXPECT_THAT(loadError(folder), AllOf(HasSubstr("model.json"), HasSubstr("inputs \"x\" has a \"type\"")));

    testsupport::writeFile(folder / "model.json", description);
    fs::remove(folder / "weights.safetensors");
    EXPECT_THAT(loadError(folder), HasSubstr("missing weights file weights.safetensors"));

    scaleWriter(2.0, 4).writeCompiled(folder);
    EXPECT_THAT(loadError(folder), AllOf(HasSubstr("\"bias\""), HasSubstr("[4]"), HasSubstr("expected [3]")));
}

TEST_F(ModelLoading, DeeplyNestedDescriptionsAreLoadErrorsNotStackOverflows) {
    const fs::path folder = temporary / "Scale.mlmodelc";
    scaleWriter().writeCompiled(folder);
    std::string description = testsupport::readFile(folder / "model.json");
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    description.insert(description.find('{', description.find("\"parameters\"")) + 1, "\"nested\":" + deep + ",");
    testsupport::writeFile(folder / "model.json", description);
    EXPECT_THAT(loadError(folder), AllOf(HasSubstr("model.json nests deeper than 64 levels")));
    EXPECT_THROW(ml::ModelParameters::fromJson("{\"a\":" + deep + "}"), std::invalid_argument);

    // Nesting a description really uses stays well within the limit.
    EXPECT_NO_THROW(ml::ModelParameters::fromJson("{\"a\":" + std::string(30, '[') + std::string(30, ']') + "}"));
}

TEST_F(ModelLoading, KindRejectingTheDescriptionNamesTheFeature) {
    const fs::path folder = temporary / "Scale.mlmodelc";
    ml::ModelWriter writer = scaleWriter();
    writer.description().outputs[0].multiArrayConstraint->dataType = ml::MultiArrayDataType::Float16;
    writer.writeCompiled(folder);
    EXPECT_THAT(loadError(folder), AllOf(HasSubstr("output \"y\""), HasSubstr("Float16 [3]")));
}

TEST_F(ModelLoading, PackagesAreCompiledOnceIntoTheCache) {
    const fs::path package = temporary / "Scale.mlpackage";
    scaleWriter().writePackage(package);
    auto viaFile = ml::Model::load(package / "Data/com.apple.CoreML/model.mlmodel", configuration);
    auto viaFolder = ml::Model::load(package, configuration);
    EXPECT_EQ(viaFile->location(), viaFolder->location());
    EXPECT_EQ(viaFile->location().parent_path(), configuration.compiledModelCacheDirectory);
    EXPECT_EQ(viaFile->location().extension(), ".mlmodelc");
    EXPECT_EQ(run(*viaFolder, {0, 0, 1}), (std::vector<float>{0.5f, 0.5f, 2.5f}));

    // A changed package is a new entry; the old one is not reused.
    scaleWriter(3.0).writePackage(package);
    auto changed = ml::Model::load(package, configuration);
    EXPECT_NE(changed->location(), viaFile->location());
    EXPECT_EQ(run(*changed, {1, 1, 1}), (std::vector<float>{3.5f, 3.5f, 3.5f}));
}

TEST_F(ModelLoading, RejectedPackagesLeaveNothingInTheCache) {
    const fs::path package = temporary / "Scale.mlpackage";
    scaleWriter(2.0, 4).writePackage(package);
    EXPECT_THAT(loadError(package, configuration), AllOf(HasSubstr("Scale.mlpackage"), HasSubstr("\"bias\"")));
    fs::create_directories(configuration.compiledModelCacheDirectory);
    EXPECT_TRUE(fs::is_empty(configuration.compiledModelCacheDirectory));

    scaleWriter().writePackage(package);
    testsupport::writeFile(temporary / "occupied", "a file, not a folder");
    ml::ModelConfiguration blocked = configuration;
    blocked.compiledModelCacheDirectory = temporary / "occupied" / "cache";
    EXPECT_THAT(loadError(package, blocked), HasSubstr("cannot create the compiled-model cache"));

    fs::remove(package / "Data/com.apple.CoreML/weights.safetensors");
    EXPECT_THAT(loadError(package, configuration), HasSubstr("missing weights file"));
}

TEST_F(ModelLoading, PredictionChecksItsInputs) {
    const fs::path folder = temporary / "Scale.mlmodelc";
    scaleWriter().writeCompiled(folder);
    auto model = ml::Model::load(folder);
    auto predictError = [&](const ml::FeatureProvider& input) -> std::string {
        try {
            model->predict(input);
        } catch (const ml::PredictionError& error) {
            return error.what();
        }
        return "no error";
    };
    ml::DictionaryFeatureProvider input;
    EXPECT_EQ(predictError(input), "Missing input feature \"x\"");
    input.set("x", ml::FeatureValue::fromInt64(3));
    EXPECT_EQ(predictError(input), "Input feature \"x\" must be multiArray, not int64");
    input.set("x", ml::FeatureValue(std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, 3}, ml::MultiArrayDataType::Float32)));
    EXPECT_EQ(predictError(input), "Input feature \"x\" has shape [1, 3], expected [3]");

    auto future = model->predictAsync(std::make_shared<ml::DictionaryFeatureProvider>());
    EXPECT_THROW(future.get(), ml::PredictionError);
}

TEST_F(ModelLoading, ConcurrentPredictionsOnOneModelAgree) {
    const fs::path folder = temporary / "Scale.mlmodelc";
    scaleWriter().writeCompiled(folder);
    auto model = ml::Model::load(folder);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const float x = static_cast<float>(t * 1000 + i);
                if (run(*model, {x, x, x})[1] != x * 2 + 0.5f) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
}
