// The scripted decoder (deterministic answers for engine tests) and the generator's decoder, scripted and
// preset models, loaded the way the engine loads them.
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Platform/ML/Model/Model.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

std::string makeModels(const std::string& arguments) {
    std::string output;
    const int status = testsupport::runCommand(
        testsupport::toolPath("make-test-models").string() + " " + arguments + " 2>&1", &output);
    return status == 0 ? "" : output.empty() ? "failed" : output;
}

std::shared_ptr<ml::MultiArray> scalar(double value) {
    return std::make_shared<ml::MultiArray>(
        ml::MultiArray::filled({1}, ml::MultiArrayDataType::Int32, value));
}

// Decoder inputs for one step: the cache contents do not matter to the scripted decoder.
ml::DictionaryFeatureProvider stepInput(const ml::Model& model, int token, int position) {
    ml::DictionaryFeatureProvider input;
    for (const auto& description : model.description().inputs)
        input.set(description.name,
                  ml::FeatureValue(std::make_shared<ml::MultiArray>(
                      description.multiArrayConstraint->shape, description.multiArrayConstraint->dataType)));
    input.set("input_ids", ml::FeatureValue(scalar(token)));
    input.set("cache_length", ml::FeatureValue(scalar(position)));
    return input;
}

int64_t argmax(const ml::MultiArray& logits) {
    int64_t best = 0;
    for (int64_t i = 1; i < logits.count(); ++i)
        if (logits.value(i) > logits.value(best))
            best = i;
    return best;
}

} // namespace

TEST(ScriptedDecoder, AnswersFromItsTableAndMarksEveryStep) {
    testsupport::TemporaryDirectory dir;
    const auto path = dir / "TextDecoder.mlmodelc";
    // 50258 at any position -> 50259; at position 3 it is 777 with alignment frame 40; 12 is flat.
    ASSERT_EQ(
        makeModels("--kind scripted-decoder --vocab 51865 --width 64 --layers 2 --script 50258:-1:50259,"
                   "50258:3:777:40 --flat 12:-1 --default-next 50257 --alignment-frame 7 --out " +
                   path.string()),
        "");
    auto model = ml::Model::load(path);
    auto step = [&](int token, int position) { return model->predict(stepInput(*model, token, position)); };

    auto out = step(50258, 0);
    EXPECT_EQ(argmax(*out->multiArray("logits")), 50259);
    EXPECT_EQ(out->multiArray("logits")->value(50259), 30.0);
    EXPECT_EQ(out->multiArray("alignment_heads_weights")->value(7), 1.0);
    EXPECT_EQ(argmax(*step(50258, 3)->multiArray("logits")), 777); // the position-specific row wins
    EXPECT_EQ(step(50258, 3)->multiArray("alignment_heads_weights")->value(40), 1.0);
    EXPECT_EQ(argmax(*step(500, 5)->multiArray("logits")), 50257); // no row: the default
    auto flat = step(12, 9)->multiArray("logits");
    EXPECT_EQ(flat->value(0), flat->value(51864));
    EXPECT_EQ(flat->value(12), 0.0);

    // Key columns cycle [token / 1024, token % 1024, position]; values are the same negated.
    auto keys = step(50258, 6)->multiArray("key_cache_updates");
    ASSERT_EQ(keys->shape(), (std::vector<int64_t>{1, 128, 1, 1}));
    EXPECT_EQ(keys->value(0), 49.0);
    EXPECT_EQ(keys->value(1), 50258.0 - 49 * 1024);
    EXPECT_EQ(keys->value(2), 6.0);
    EXPECT_EQ(keys->value(126), 49.0);
    EXPECT_EQ(step(50258, 6)->multiArray("value_cache_updates")->value(2), -6.0);
}

TEST(ScriptedDecoder, RejectsScriptsOutsideItsVocabularyWindowOrCache) {
    testsupport::TemporaryDirectory dir;
    const std::string base = "--kind scripted-decoder --vocab 100 --width 64 --layers 1 --out " +
                             (dir / "TextDecoder.mlmodelc").string();
    EXPECT_EQ(makeModels(base + " --script 5:-1:7"), "");
    EXPECT_NO_THROW(ml::Model::load(dir / "TextDecoder.mlmodelc"));
    EXPECT_EQ(makeModels(base + " --script 5:-1:100"), "");
    EXPECT_THROW(ml::Model::load(dir / "TextDecoder.mlmodelc"), std::exception);
    EXPECT_EQ(makeModels(base + " --script 5:-1:7:1500"), "");
    EXPECT_THROW(ml::Model::load(dir / "TextDecoder.mlmodelc"), std::exception);
    for (const char* unreachable : {" --script 5:224:7", " --script 5:-2:7", " --flat 5:224"}) {
        EXPECT_EQ(makeModels(base + unreachable), "");
        EXPECT_THROW(ml::Model::load(dir / "TextDecoder.mlmodelc"), std::exception) << unreachable;
    }
    EXPECT_EQ(makeModels(base + " --script 5:223:7 --flat 6:223"), "");
    EXPECT_NO_THROW(ml::Model::load(dir / "TextDecoder.mlmodelc"));
    EXPECT_NE(makeModels(base + " --script 5:x:7"), "");
    EXPECT_NE(makeModels(base + " --word-timestamps 2"), "");
}

TEST(ModelPresets, WriteTheThreeModelsOfAVariantWithItsSizes) {
    testsupport::TemporaryDirectory dir;
    ASSERT_EQ(makeModels("--preset tiny --vocab 51864 --out " + dir.path().string()), "");
    auto mel = ml::Model::load(dir / "MelSpectrogram.mlmodelc");
    auto encoder = ml::Model::load(dir / "AudioEncoder.mlmodelc");
    auto decoder = ml::Model::load(dir / "TextDecoder.mlmodelc");
    // What the engine reads to tell the variant and size its caches.
    EXPECT_EQ(mel->description().findOutput("melspectrogram_features")->multiArrayConstraint->shape,
              (std::vector<int64_t>{1, 80, 1, 3000}));
    EXPECT_EQ(encoder->description().findOutput("encoder_output_embeds")->multiArrayConstraint->shape,
              (std::vector<int64_t>{1, 384, 1, 1500}));
    EXPECT_EQ(decoder->description().findOutput("logits")->multiArrayConstraint->shape,
              (std::vector<int64_t>{1, 1, 51864}));
    EXPECT_EQ(decoder->description().findInput("key_cache")->multiArrayConstraint->shape,
              (std::vector<int64_t>{1, 4 * 384, 1, 224}));
    EXPECT_NE(decoder->description().findOutput("alignment_heads_weights"), nullptr);

    // The encoder accepts the mel model's output as it is, and the decoder takes the encoder's.
    auto audio =
        std::make_shared<ml::MultiArray>(std::vector<int64_t>{480000}, ml::MultiArrayDataType::Float32);
    ml::DictionaryFeatureProvider melInput;
    melInput.set("audio", ml::FeatureValue(audio));
    ml::DictionaryFeatureProvider encoderInput;
    encoderInput.set("melspectrogram_features",
                     mel->predict(melInput)->featureValue("melspectrogram_features").value());
    auto embeds = encoder->predict(encoderInput)->multiArray("encoder_output_embeds");
    auto input = stepInput(*decoder, 50257, 0);
    input.set("encoder_output_embeds", ml::FeatureValue(embeds));
    auto logits = decoder->predict(input)->multiArray("logits");
    for (int64_t i = 0; i < logits->count(); i += 97)
        ASSERT_TRUE(std::isfinite(logits->value(i)));

    EXPECT_NE(makeModels("--preset huge --out " + dir.path().string()), "");
}

// A misspelt or misplaced flag would otherwise quietly give a model with the default (a cache of 224).
TEST(ModelGenerator, RefusesFlagsTheKindDoesNotRead) {
    using ::testing::HasSubstr;
    testsupport::TemporaryDirectory dir;
    const std::string decoder = "--kind decoder --vocab 100 --width 64 --layers 1 --seed 2 --out ";
    EXPECT_EQ(makeModels(decoder + (dir / "Good.mlmodelc").string() + " --cache-length 300"), "");
    EXPECT_EQ(ml::Model::load(dir / "Good.mlmodelc")
                  ->description()
                  .findInput("key_cache")
                  ->multiArrayConstraint->shape,
              (std::vector<int64_t>{1, 64, 1, 300}));
    EXPECT_THAT(makeModels(decoder + (dir / "Typo.mlmodelc").string() + " --cache-lenght 300"),
                HasSubstr("--cache-lenght"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Typo.mlmodelc"));
    EXPECT_THAT(makeModels("--kind encoder --width 64 --layers 1 --vocab 100 --out " +
                           (dir / "AudioEncoder.mlmodelc").string()),
                HasSubstr("--vocab"));
    EXPECT_THAT(makeModels("--preset tiny --cache-length 300 --out " + (dir / "preset").string()),
                HasSubstr("--cache-length"));
    EXPECT_FALSE(std::filesystem::exists(dir / "preset"));
    // Every kind takes --seed, also those without random weights.
    EXPECT_EQ(makeModels("--kind scripted-decoder --vocab 100 --width 64 --layers 1 --seed 4 --out " +
                         (dir / "Scripted.mlmodelc").string()),
              "");
}
