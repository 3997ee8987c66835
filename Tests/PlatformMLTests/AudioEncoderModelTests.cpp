// The audio encoder kind against the naive reference, on a small model with a short window.
#include "NaiveTransformer.h"
#include "Platform/ML/Kernels/Packed/BfloatRoad.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/WhisperPreset.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace {

const ml::AudioEncoderShape kShape{6, 128, 2, 2, 20};

std::shared_ptr<ml::MultiArray> randomMel(ml::MultiArrayDataType type) {
    auto mel =
        std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, kShape.mels, 1, 2 * kShape.frames}, type);
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.5f, 1.5f);
    for (int64_t i = 0; i < mel->count(); ++i)
        mel->setValue(i, double(ml::Float16(value(random)))); // the same values in either type
    return mel;
}

} // namespace

TEST(AudioEncoderModel, MatchesNaiveReferenceForHalfAndFloatFeatures) {
    testsupport::TemporaryDirectory dir;
    const auto folder = dir / "AudioEncoder.mlmodelc";
    ml::AudioEncoderModel::writer(kShape, 5).writeCompiled(folder);
    ml::ModelConfiguration exact;
    exact.computeUnits = ml::ComputeUnits::cpuOnly;
    auto model = ml::Model::load(folder, exact);
    const auto output = model->description().findOutput("encoder_output_embeds");
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->multiArrayConstraint->shape, (std::vector<int64_t>{1, 128, 1, 20}));

    auto weights = ml::SafeTensorsFile::open(folder / "weights.safetensors");
    auto mel = randomMel(ml::MultiArrayDataType::Float16);
    const auto melFloats = mel->toFloats();
    const auto reference = naive::encoder(*weights, naive::Matrix(melFloats.begin(), melFloats.end()),
                                          size_t(kShape.mels), size_t(kShape.frames), 128, 2);
    for (auto type : {ml::MultiArrayDataType::Float16, ml::MultiArrayDataType::Float32}) {
        ml::DictionaryFeatureProvider input;
        input.set("melspectrogram_features", ml::FeatureValue(randomMel(type)));
        auto embeds = model->predict(input)->multiArray("encoder_output_embeds");
        ASSERT_EQ(embeds->dataType(), ml::MultiArrayDataType::Float16);
        ASSERT_EQ(embeds->shape(), (std::vector<int64_t>{1, 128, 1, 20}));
        // Output layout [1, D, 1, T]: channel-major.
        for (int64_t c = 0; c < 128; ++c)
            for (int64_t t = 0; t < kShape.frames; ++t) {
                const double expected = reference[size_t(t * 128 + c)];
                ASSERT_NEAR(embeds->value({0, c, 0, t}), expected, 4e-3 + 2e-3 * std::abs(expected))
                    << "channel " << c << " frame " << t;
            }
    }
}

TEST(AudioEncoderModel, RejectsWidthsThatAreNotWholeHeadsAndMissingWeights) {
    EXPECT_THROW(ml::AudioEncoderModel::writer({6, 100, 1, 2, 20}, 1), std::invalid_argument);
    testsupport::TemporaryDirectory dir;
    ml::ModelWriter writer = ml::AudioEncoderModel::writer({6, 64, 1, 1, 4}, 1);
    writer.parameters().set("n_audio_layer", int64_t(2)); // the weights only hold one block
    writer.writeCompiled(dir / "AudioEncoder.mlmodelc");
    try {
        ml::Model::load(dir / "AudioEncoder.mlmodelc");
        FAIL() << "a model without its second block loaded";
    } catch (const ml::ModelLoadError& error) {
        EXPECT_NE(std::string(error.what()).find("encoder.layers.1"), std::string::npos) << error.what();
    }
}

TEST(AudioEncoderModel, ReducedPrecisionStaysCloseToFloatOnTinyAndSmallShapes) {
    // Every compute unit but cpuOnly may use bfloat16 products: the windows must stay within 1% (relative
    // RMS) of the float32 ones at full size, where errors have the most layers and frames to grow.
    for (const char* size : {"tiny", "small"}) {
        const ml::AudioEncoderShape shape = ml::WhisperPreset::named(size)->encoder;
        testsupport::TemporaryDirectory dir;
        ml::AudioEncoderModel::writer(shape, 7).writeCompiled(dir / "AudioEncoder.mlmodelc");
        const auto folder = ml::ModelFolder::read(dir / "AudioEncoder.mlmodelc");
        const ml::AudioEncoderModel exact(folder, ml::ComputeUnits::cpuOnly);
        const ml::AudioEncoderModel reduced(folder, ml::ComputeUnits::cpuAndNeuralEngine);
        auto mel = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, shape.mels, 1, 2 * shape.frames},
                                                    ml::MultiArrayDataType::Float16);
        std::mt19937 random(3);
        std::uniform_real_distribution<float> value(-1.5f, 1.5f);
        for (auto& x : mel->elements<ml::Float16>())
            x = ml::Float16(value(random));
        ml::DictionaryFeatureProvider input, exactOut, reducedOut;
        input.set("melspectrogram_features", ml::FeatureValue(mel));
        exact.predict(input, {}, exactOut);
        reduced.predict(input, {}, reducedOut);
        const auto a = exactOut.multiArray("encoder_output_embeds")->toFloats();
        const auto b = reducedOut.multiArray("encoder_output_embeds")->toFloats();
        double error = 0, norm = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            error += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
            norm += double(a[i]) * a[i];
        }
        EXPECT_LT(std::sqrt(error / norm), 1e-2) << size;
    }
}

TEST(AudioEncoderModel, LoadedComputeUnitsChooseThePrecision) {
    // Through Model::load, as the engine loads it: only cpuOnly is guaranteed exact; the engine's default
    // units take the reduced-precision path where the processor has it.
    testsupport::TemporaryDirectory dir;
    ml::AudioEncoderModel::writer(kShape, 5).writeCompiled(dir / "AudioEncoder.mlmodelc");
    ml::DictionaryFeatureProvider input;
    input.set("melspectrogram_features", ml::FeatureValue(randomMel(ml::MultiArrayDataType::Float16)));
    std::vector<std::vector<float>> outputs;
    for (auto units : {ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine}) {
        ml::ModelConfiguration configuration;
        configuration.computeUnits = units;
        outputs.push_back(ml::Model::load(dir / "AudioEncoder.mlmodelc", configuration)
                              ->predict(input)
                              ->multiArray("encoder_output_embeds")
                              ->toFloats());
    }
    if (ml::kernels::bestBfloatRoad() != ml::kernels::BfloatRoad::none)
        EXPECT_NE(outputs[0], outputs[1]);
    else
        EXPECT_EQ(outputs[0], outputs[1]) << "without a bfloat16 road every unit computes in float32";
    for (size_t i = 0; i < outputs[0].size(); ++i)
        ASSERT_NEAR(outputs[1][i], outputs[0][i], 0.1) << i;
}

namespace {

double relativeRms(const std::vector<float>& reference, const std::vector<float>& other) {
    double error = 0, norm = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        error += (double(reference[i]) - other[i]) * (double(reference[i]) - other[i]);
        norm += double(reference[i]) * reference[i];
    }
    return std::sqrt(error / norm);
}

} // namespace

TEST(AudioEncoderModel, EightBitWeightsStayCloseToTheHalfOnesOnEveryComputeUnit) {
    // The same checkpoint written both ways, at the tiny shape (full window): within 2 % relative RMS.
    const ml::AudioEncoderShape shape = ml::WhisperPreset::named("tiny")->encoder;
    testsupport::TemporaryDirectory dir;
    ml::AudioEncoderModel::writer(shape, 7).writeCompiled(dir / "Half.mlmodelc");
    ml::AudioEncoderModel::writer(shape, 7, ml::WeightType::int8).writeCompiled(dir / "Int8.mlmodelc");
    auto mel = std::make_shared<ml::MultiArray>(std::vector<int64_t>{1, shape.mels, 1, 2 * shape.frames},
                                                ml::MultiArrayDataType::Float16);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1.5f, 1.5f);
    for (auto& x : mel->elements<ml::Float16>())
        x = ml::Float16(value(random));
    ml::DictionaryFeatureProvider input;
    input.set("melspectrogram_features", ml::FeatureValue(mel));
    for (auto units : {ml::ComputeUnits::cpuOnly, ml::ComputeUnits::cpuAndNeuralEngine}) {
        ml::ModelConfiguration configuration;
        configuration.computeUnits = units;
        const auto half = ml::Model::load(dir / "Half.mlmodelc", configuration)->predict(input);
        const auto int8 = ml::Model::load(dir / "Int8.mlmodelc", configuration)->predict(input);
        EXPECT_LT(relativeRms(half->multiArray("encoder_output_embeds")->toFloats(),
                              int8->multiArray("encoder_output_embeds")->toFloats()),
                  0.02)
            << "compute units " << int(units);
    }
}

TEST(AudioEncoderModel, AWeightTypeThatIsUnknownOrBelieTheTensorsDoesNotLoad) {
    testsupport::TemporaryDirectory dir;
    auto expectRefused = [&](ml::ModelWriter writer, const std::string& name, const std::string& problem) {
        writer.writeCompiled(dir / name);
        try {
            ml::Model::load(dir / name);
            ADD_FAILURE() << name << " loaded";
        } catch (const ml::ModelLoadError& error) {
            EXPECT_NE(std::string(error.what()).find(problem), std::string::npos) << error.what();
        }
    };
    ml::ModelWriter unknown = ml::AudioEncoderModel::writer(kShape, 1);
    unknown.parameters().set("weight_type", "int4");
    expectRefused(std::move(unknown), "Unknown.mlmodelc", "unknown weight type \"int4\"");
    // Integers read as half weights would be values a hundred times too large, and the other way round.
    ml::ModelWriter saysHalf = ml::AudioEncoderModel::writer(kShape, 1, ml::WeightType::int8);
    saysHalf.parameters().set("weight_type", "half");
    expectRefused(std::move(saysHalf), "SaysHalf.mlmodelc", "is I8, but the model's weight type is half");
    ml::ModelWriter saysInt8 = ml::AudioEncoderModel::writer(kShape, 1);
    saysInt8.parameters().set("weight_type", "int8");
    expectRefused(std::move(saysInt8), "SaysInt8.mlmodelc", "is F16, but the model's weight type is int8");
}
