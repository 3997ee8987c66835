#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Files/ModelParameters.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Sonavex/Utilities/Models/CheckpointConversionError.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/CheckpointWeights.h"
#include "SonavexTests/CheckpointFixture.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using sonavex::CheckpointConversionError;
using sonavex::CheckpointConverter;
using testsupport::CheckpointShape;

namespace {

ml::MultiArrayDataType arrayType(const std::string& dtype) {
    return dtype == "F32" ? ml::MultiArrayDataType::Float32 : ml::MultiArrayDataType::Float16;
}

// Every tensor of the converted models holds the checkpoint's values in the type the model stores;
// together they are all of the checkpoint's tensors but a tied output projection.
void expectWeightsEqual(const fs::path& modelFolder, const fs::path& checkpointFolder) {
    const sonavex::CheckpointWeights checkpoint = sonavex::CheckpointWeights::open(checkpointFolder);
    size_t compared = 0;
    for (const char* model : {"AudioEncoder", "TextDecoder"}) {
        const auto file = ml::SafeTensorsFile::open(modelFolder / (std::string(model) + ".mlmodelc") /
                                                    "weights.safetensors");
        for (const std::string& name : file->names()) {
            SCOPED_TRACE(name);
            const ml::SafeTensor* original = checkpoint.find("model." + name);
            ASSERT_NE(original, nullptr);
            const ml::MultiArrayDataType type = arrayType(file->tensor(name).dtype);
            EXPECT_EQ(file->array(name, type), checkpoint.array("model." + name, type));
            ++compared;
        }
    }
    size_t expected = checkpoint.names().size() - (checkpoint.find("proj_out.weight") ? 1 : 0);
    EXPECT_EQ(compared, expected);
}

std::vector<std::vector<int64_t>> alignmentHeads(const fs::path& modelFolder) {
    return ml::ModelFolder::read(modelFolder / "TextDecoder.mlmodelc").parameters().integerRows("alignment_heads");
}

// Names every file and folder inside `folder` (to show that a failed conversion left nothing behind).
std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class CheckpointConverterTest : public testing::Test {
protected:
    testsupport::TemporaryDirectory temporary;
    fs::path checkpoint = temporary / "checkpoint";
    fs::path output = temporary / "out" / "model";
};

TEST_F(CheckpointConverterTest, SingleFileCheckpointBecomesAModelFolderTheRuntimeLoads) {
    const CheckpointShape shape;
    testsupport::writeCheckpoint(checkpoint, shape);
    std::vector<std::string> announced;
    const auto result = CheckpointConverter::convert(checkpoint, output, CheckpointConverter::kDefaultCacheLength,
                                                     [&](const std::string& model) { announced.push_back(model); });

    EXPECT_EQ(result.folder, output);
    EXPECT_EQ(result.logitsDim, 51865);
    EXPECT_EQ(result.encoderDim, 64);
    EXPECT_EQ(announced, (std::vector<std::string>{"MelSpectrogram", "AudioEncoder", "TextDecoder"}));
    EXPECT_EQ(entries(output), (std::vector<std::string>{"AudioEncoder.mlmodelc", "MelSpectrogram.mlmodelc",
                                                         "TextDecoder.mlmodelc", "config.json", "tokenizer.json",
                                                         "tokenizer_config.json"}));
    EXPECT_EQ(entries(temporary / "out"), std::vector<std::string>{"model"});
    expectWeightsEqual(output, checkpoint);
    for (const char* copied : {"config.json", "tokenizer.json", "tokenizer_config.json"}) {
        EXPECT_EQ(testsupport::readFile(output / copied), testsupport::readFile(checkpoint / copied)) << copied;
    }

    // The mel model's window feeds the encoder, and the decoder reads the encoder's width and frames.
    const auto mel = ml::Model::load(output / "MelSpectrogram.mlmodelc");
    const auto encoder = ml::Model::load(output / "AudioEncoder.mlmodelc");
    const auto decoder = ml::Model::load(output / "TextDecoder.mlmodelc");
    ml::DictionaryFeatureProvider audio;
    audio.set("audio", ml::FeatureValue(std::make_shared<ml::MultiArray>(std::vector<int64_t>{2 * 8 * 160},
                                                                         ml::MultiArrayDataType::Float32)));
    const auto features = mel->predict(audio);
    ml::DictionaryFeatureProvider melFeatures;
    melFeatures.set("melspectrogram_features", ml::FeatureValue(features->multiArray("melspectrogram_features")));
    const auto embeds = encoder->predict(melFeatures)->multiArray("encoder_output_embeds");
    ASSERT_TRUE(embeds);
    EXPECT_EQ(embeds->shape(), (std::vector<int64_t>{1, 64, 1, 8}));
    const auto* declared = decoder->description().findInput("encoder_output_embeds");
    ASSERT_NE(declared, nullptr);
    ASSERT_TRUE(declared->multiArrayConstraint);
    EXPECT_EQ(declared->multiArrayConstraint->shape, embeds->shape());

    // Every head of the upper half of the decoder's layers, and the default cache length.
    EXPECT_EQ(alignmentHeads(output), (std::vector<std::vector<int64_t>>{{1, 0}}));
    EXPECT_EQ(ml::ModelFolder::read(output / "TextDecoder.mlmodelc").parameters().integer("kv_cache_length"), 224);

    // The copied tokenizer loads from the folder alone.
    const auto tokenizer =
        orvane::AutoTokenizerWrapper::fromModelFolder(output, orvane::HubApiWrapper(temporary / "hub"), true);
    EXPECT_EQ(tokenizer.convertTokenToId("<|startoftranscript|>"), 50258);
}

TEST_F(CheckpointConverterTest, ShardsAndEveryFloatTypeKeepTheWeights) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    shape.decoderLayers = 3;
    for (const std::string dtype : {"F32", "BF16", "F16"}) {
        for (int shards : {1, 3}) {
            SCOPED_TRACE(dtype + " in " + std::to_string(shards));
            testsupport::TemporaryDirectory folder;
            testsupport::writeCheckpoint(folder / "checkpoint", shape, dtype, shards);
            CheckpointConverter::convert(folder / "checkpoint", folder / "model");
            expectWeightsEqual(folder / "model", folder / "checkpoint");
            EXPECT_NO_THROW(ml::Model::load(folder / "model" / "TextDecoder.mlmodelc"));
            EXPECT_NO_THROW(ml::Model::load(folder / "model" / "AudioEncoder.mlmodelc"));
        }
    }
}

TEST_F(CheckpointConverterTest, AlignmentHeadsAndCacheLengthComeFromTheCheckpointAndTheCaller) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    shape.width = 128;
    shape.heads = 2;
    shape.decoderLayers = 3;
    testsupport::writeCheckpoint(checkpoint, shape);
    testsupport::writeFile(checkpoint / "generation_config.json", R"({"alignment_heads": [[0, 1], [2, 0]]})");
    CheckpointConverter::convert(checkpoint, output, 32);
    EXPECT_EQ(alignmentHeads(output), (std::vector<std::vector<int64_t>>{{0, 1}, {2, 0}}));
    EXPECT_EQ(ml::ModelFolder::read(output / "TextDecoder.mlmodelc").parameters().integer("kv_cache_length"), 32);
    EXPECT_EQ(testsupport::readFile(output / "generation_config.json"),
              testsupport::readFile(checkpoint / "generation_config.json"));

    // Without the key: all heads of layers 1 and 2 (the upper half of three).
    testsupport::writeFile(checkpoint / "generation_config.json", R"({"max_length": 448})");
    CheckpointConverter::convert(checkpoint, temporary / "second");
    EXPECT_EQ(alignmentHeads(temporary / "second"),
              (std::vector<std::vector<int64_t>>{{1, 0}, {1, 1}, {2, 0}, {2, 1}}));
}

TEST_F(CheckpointConverterTest, AnOutputProjectionEqualToTheEmbeddingIsDroppedAnotherRefused) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    testsupport::writeCheckpoint(checkpoint, shape);
    testsupport::CheckpointTensors tensors = testsupport::checkpointTensors(shape);
    tensors["proj_out.weight"] = tensors.at("model.decoder.embed_tokens.weight");
    testsupport::writeSafeTensors(checkpoint / "model.safetensors", tensors);
    CheckpointConverter::convert(checkpoint, output);
    EXPECT_EQ(ml::SafeTensorsFile::open(output / "TextDecoder.mlmodelc" / "weights.safetensors")
                  ->find("proj_out.weight"),
              nullptr);

    tensors["proj_out.weight"].bytes[10] ^= 0x40;
    testsupport::writeSafeTensors(checkpoint / "model.safetensors", tensors);
    try {
        CheckpointConverter::convert(checkpoint, temporary / "untied");
        FAIL() << "an untied projection was converted";
    } catch (const CheckpointConversionError& error) {
        EXPECT_NE(std::string(error.what()).find("proj_out.weight"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(temporary / "untied"));
}

// Each broken checkpoint fails with a message naming the file and the key or tensor, and leaves nothing:
// no output folder and no half-built folder beside it.
TEST_F(CheckpointConverterTest, BrokenCheckpointsFailNamingFileAndCulpritAndLeaveNothing) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    testsupport::writeCheckpoint(checkpoint, shape);
    const testsupport::CheckpointTensors good = testsupport::checkpointTensors(shape);
    const std::string goodConfig = testsupport::readFile(checkpoint / "config.json");

    struct Case {
        std::string name;
        std::function<void()> breakIt;
        std::vector<std::string> expected; // parts of the message
        int64_t cacheLength = CheckpointConverter::kDefaultCacheLength;
    };
    auto withTensors = [&](std::function<void(testsupport::CheckpointTensors&)> change) {
        return [&, change] {
            testsupport::CheckpointTensors tensors = good;
            change(tensors);
            testsupport::writeSafeTensors(checkpoint / "model.safetensors", tensors);
        };
    };
    auto withConfig = [&](std::string from, std::string to) {
        return [&, from, to] {
            std::string text = goodConfig;
            text.replace(text.find(from), from.size(), to);
            testsupport::writeFile(checkpoint / "config.json", text);
        };
    };
    const std::vector<Case> cases{
        {"missing key", withConfig("\"d_model\"", "\"width\""), {"config.json", "d_model"}},
        {"fractional key", withConfig("\"num_mel_bins\": 80", "\"num_mel_bins\": 80.5"),
         {"config.json", "num_mel_bins"}},
        {"a width beyond any model", withConfig("\"d_model\": 64", "\"d_model\": 4611686018427387904"),
         {"config.json", "d_model", "more than 2147483647"}},
        // Found without planning (or allocating) two billion layers.
        {"more layers than the weights hold", withConfig("\"decoder_layers\": 2", "\"decoder_layers\": 2000000000"),
         {"model.safetensors", "model.decoder.layers.2.self_attn_layer_norm.weight"}},
        {"heads that do not divide the width", withConfig("\"decoder_attention_heads\": 1", "\"decoder_attention_heads\": 2"),
         {"config.json", "decoder_attention_heads"}},
        {"missing tensor", withTensors([](auto& t) { t.erase("model.decoder.layers.1.fc2.bias"); }),
         {"model.safetensors", "model.decoder.layers.1.fc2.bias"}},
        {"wrong shape",
         withTensors([](auto& t) {
             auto& tensor = t.at("model.encoder.conv1.weight");
             tensor.shape = {64, 80 * 3};
         }),
         {"model.safetensors", "model.encoder.conv1.weight", "[64, 240]", "[64, 80, 3]"}},
        {"integer elements",
         withTensors([](auto& t) {
             auto& tensor = t.at("model.encoder.layer_norm.bias");
             tensor.dtype = "I8";
             tensor.bytes.resize(tensor.bytes.size() / 2);
         }),
         {"model.safetensors", "model.encoder.layer_norm.bias", "I8"}},
        {"unexpected tensor",
         withTensors([](auto& t) { t["model.decoder.layers.2.fc1.bias"] = t.at("model.decoder.layers.1.fc1.bias"); }),
         {"model.safetensors", "model.decoder.layers.2.fc1.bias"}},
        {"truncated weights",
         [&] {
             const std::string bytes = testsupport::readFile(checkpoint / "model.safetensors");
             testsupport::writeFile(checkpoint / "model.safetensors", bytes.substr(0, bytes.size() / 2));
         },
         {"model.safetensors"}},
        {"missing weights", [&] { fs::remove(checkpoint / "model.safetensors"); },
         {"model.safetensors", "model.safetensors.index.json"}},
        {"shard outside the folder",
         [&] {
             fs::remove(checkpoint / "model.safetensors");
             testsupport::writeFile(checkpoint / "model.safetensors.index.json",
                                    R"({"weight_map": {"model.encoder.conv1.bias": "../model.safetensors"}})");
         },
         {"model.safetensors.index.json", "model.encoder.conv1.bias"}},
        {"missing tokenizer", [&] { fs::remove(checkpoint / "tokenizer.json"); }, {"tokenizer.json"}},
        {"broken alignment heads",
         [&] { testsupport::writeFile(checkpoint / "generation_config.json", R"({"alignment_heads": [[2, 0]]})"); },
         {"generation_config.json", "alignment_heads"}},
        {"cache longer than the positions", [] {}, {"cache length 449", "max_target_positions"}, 449},
    };
    for (const Case& broken : cases) {
        SCOPED_TRACE(broken.name);
        testsupport::TemporaryDirectory scratch;
        fs::remove_all(checkpoint);
        testsupport::writeCheckpoint(checkpoint, shape);
        broken.breakIt();
        try {
            CheckpointConverter::convert(checkpoint, scratch / "model", broken.cacheLength);
            ADD_FAILURE() << "converted";
        } catch (const CheckpointConversionError& error) {
            for (const std::string& part : broken.expected) {
                EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
            }
        }
        EXPECT_TRUE(entries(scratch.path()).empty());
    }
}

TEST_F(CheckpointConverterTest, ANonEmptyOutputFolderIsRefusedAndKeptAsItWas) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    testsupport::writeCheckpoint(checkpoint, shape);
    testsupport::writeFile(output / "notes.txt", "mine");
    EXPECT_THROW(CheckpointConverter::convert(checkpoint, output), CheckpointConversionError);
    EXPECT_EQ(entries(output), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(testsupport::readFile(output / "notes.txt"), "mine");

    // An empty folder (made by the caller) is filled.
    fs::remove(output / "notes.txt");
    CheckpointConverter::convert(checkpoint, output / "");
    EXPECT_TRUE(fs::exists(output / "TextDecoder.mlmodelc" / "model.json"));
    EXPECT_EQ(entries(temporary / "out"), std::vector<std::string>{"model"});
}

// With 8-bit weights every linear layer (and the token embedding) is stored as integers within half a step
// of the checkpoint's values, with a scale per row; everything else as in a half conversion. A checkpoint
// weight that is not finite has no 8-bit form and fails the conversion, naming the tensor.
TEST_F(CheckpointConverterTest, EightBitConversionQuantisesTheLinearLayersAndRefusesNonFiniteWeights) {
    CheckpointShape shape;
    shape.vocabulary = 300;
    testsupport::writeCheckpoint(checkpoint, shape, "F32");
    CheckpointConverter::convert(checkpoint, output, CheckpointConverter::kDefaultCacheLength, {},
                                 ml::WeightType::int8);
    const sonavex::CheckpointWeights original = sonavex::CheckpointWeights::open(checkpoint);
    size_t quantised = 0, kept = 0;
    for (const char* model : {"AudioEncoder", "TextDecoder"}) {
        const fs::path folder = output / (std::string(model) + ".mlmodelc");
        EXPECT_EQ(ml::ModelFolder::read(folder).parameters().string("weight_type"), "int8");
        const auto file = ml::SafeTensorsFile::open(folder / "weights.safetensors");
        for (const std::string& name : file->names()) {
            SCOPED_TRACE(name);
            if (name.ends_with("_scale"))
                continue;
            const auto values = original.array("model." + name, ml::MultiArrayDataType::Float32).toFloats();
            if (file->tensor(name).dtype != "I8") {
                EXPECT_EQ(file->array(name, ml::MultiArrayDataType::Float32).toFloats(),
                          original.array("model." + name, arrayType(file->tensor(name).dtype)).toFloats());
                ++kept;
                continue;
            }
            const auto q = file->array(name, ml::MultiArrayDataType::Float32).toFloats();
            const auto scales = file->array(name + "_scale", ml::MultiArrayDataType::Float32).toFloats();
            const size_t in = values.size() / scales.size();
            for (size_t i = 0; i < values.size(); ++i)
                ASSERT_NEAR(q[i] * scales[i / in], values[i], 0.5 * scales[i / in] * 1.0001 + 1e-12) << i;
            ++quantised;
        }
    }
    // Six linear layers per encoder layer, ten per decoder layer, and the embedding.
    EXPECT_EQ(quantised, size_t(6 * shape.encoderLayers + 10 * shape.decoderLayers + 1));
    EXPECT_GT(kept, 0u);

    testsupport::CheckpointTensors tensors = testsupport::checkpointTensors(shape, "F32");
    const float infinity = INFINITY;
    std::memcpy(tensors.at("model.decoder.layers.1.fc1.weight").bytes.data() + 40, &infinity,
                sizeof infinity);
    testsupport::writeSafeTensors(checkpoint / "model.safetensors", tensors);
    const fs::path second = temporary / "out" / "second";
    try {
        CheckpointConverter::convert(checkpoint, second, CheckpointConverter::kDefaultCacheLength, {},
                                     ml::WeightType::int8);
        FAIL() << "a weight that is not finite was converted";
    } catch (const CheckpointConversionError& error) {
        EXPECT_NE(std::string(error.what()).find("decoder.layers.1.fc1.weight"), std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(fs::exists(second));
    // Half precision keeps it as it is.
    EXPECT_NO_THROW(CheckpointConverter::convert(checkpoint, second));
    // Sized variant names are converted 8-bit.
    EXPECT_EQ(CheckpointConverter::weightTypeForVariant("openai_whisper-large-v3-v20240930_turbo_632MB"),
              ml::WeightType::int8);
    EXPECT_EQ(CheckpointConverter::weightTypeForVariant("openai_whisper-large-v3-v20240930_turbo"),
              ml::WeightType::half);
    EXPECT_EQ(CheckpointConverter::weightTypeForVariant("openai_whisper-base"), ml::WeightType::half);
}
