#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Sonavex/Core/WhisperMLModel.h"
#include "Support/TestSupport.h"

namespace {

class Stage : public sonavex::WhisperMLModel {
public:
    std::shared_ptr<ml::Model> model() const override {
        std::lock_guard lock(mutex_);
        return model_;
    }
    void setModel(std::shared_ptr<ml::Model> model) override {
        std::lock_guard lock(mutex_);
        model_ = std::move(model);
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<ml::Model> model_;
};

class WhisperMLModelTest : public testing::Test {
protected:
    void SetUp() override { ml::MelSpectrogramModel::writer(80).writeCompiled(location); }

    testsupport::TemporaryDirectory temporary;
    std::filesystem::path location = temporary / "MelSpectrogram.mlmodelc";
    Stage stage;
};

} // namespace

TEST_F(WhisperMLModelTest, LoadHoldsTheModelWithItsComputeUnits) {
    EXPECT_EQ(stage.modelState(), orvane::ModelState::unloaded);
    stage.loadModel(location, ml::ComputeUnits::cpuAndNeuralEngine, false);
    ASSERT_EQ(stage.modelState(), orvane::ModelState::loaded);
    EXPECT_EQ(stage.model()->configuration().computeUnits, ml::ComputeUnits::cpuAndNeuralEngine);
    auto first = stage.model();
    stage.loadModel(location, ml::ComputeUnits::cpuOnly, false);
    EXPECT_NE(stage.model(), first);
    stage.unloadModel();
    stage.unloadModel();
    EXPECT_EQ(stage.modelState(), orvane::ModelState::unloaded);
}

TEST_F(WhisperMLModelTest, PrewarmLeavesTheStageUnloaded) {
    stage.loadModel(location, ml::ComputeUnits::all, false);
    stage.loadModel(location, ml::ComputeUnits::all, true);
    EXPECT_EQ(stage.model(), nullptr);
    EXPECT_EQ(stage.modelState(), orvane::ModelState::unloaded);
}

TEST_F(WhisperMLModelTest, FailedLoadKeepsTheEarlierModel) {
    stage.loadModel(location, ml::ComputeUnits::all, false);
    auto held = stage.model();
    EXPECT_THROW(stage.loadModel(temporary / "Missing.mlmodelc", ml::ComputeUnits::all, false), ml::ModelLoadError);
    EXPECT_EQ(stage.model(), held);
    EXPECT_EQ(stage.modelState(), orvane::ModelState::loaded);
}
