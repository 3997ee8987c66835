#include "SonavexTests/Facade/FacadeFixture.h"

#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

using namespace facadetest;
using orvane::ModelState;
using sonavex::Sonavex;
using sonavex::SonavexConfig;

namespace {

using Transition = std::pair<std::optional<ModelState>, ModelState>;

std::shared_ptr<std::vector<Transition>> recordTransitions(Sonavex& engine) {
    auto seen = std::make_shared<std::vector<Transition>>();
    engine.setModelStateCallback([seen](std::optional<ModelState> from, ModelState to) {
        seen->emplace_back(from, to);
    });
    return seen;
}

} // namespace

// A folder and no load flag load at once: the size comes from the models, the tokenizer from the folder,
// and the decoder gets the tokenizer and its language mode.
TEST_F(FacadeTest, AFolderLoadsAtOnceWithItsSizeAndTokenizer) {
    SonavexConfig config;
    useFolder(config, convertedModels());
    const auto engine = Sonavex::create(config);
    EXPECT_EQ(engine->modelState(), ModelState::loaded);
    EXPECT_EQ(engine->modelVariant(), sonavex::ModelVariant::tiny);
    ASSERT_NE(engine->tokenizer(), nullptr);
    EXPECT_EQ(engine->textDecoder()->tokenizer(), engine->tokenizer());
    EXPECT_TRUE(engine->textDecoder()->isModelMultilingual());
    EXPECT_NE(std::dynamic_pointer_cast<sonavex::AudioEncoder>(engine->audioEncoder())->model(), nullptr);
    const auto timings = engine->currentTimings();
    EXPECT_GT(timings.decoderLoadTime, 0);
    EXPECT_GT(timings.encoderLoadTime, 0);
    EXPECT_GE(timings.modelLoading, timings.decoderLoadTime + timings.encoderLoadTime);
    EXPECT_TRUE(hub.requests().empty());

    SonavexConfig english;
    useFolder(english, convertedModels(false));
    EXPECT_FALSE(Sonavex::create(english)->textDecoder()->isModelMultilingual());
}

// Without a folder and without download nothing loads; loading then fails and stays in "loading".
TEST_F(FacadeTest, NoFolderNoDownloadBuildsUnloadedAndLoadingFails) {
    SonavexConfig config;
    config.download = false;
    config.verbose = false;
    const auto engine = Sonavex::create(config);
    EXPECT_EQ(engine->modelState(), ModelState::unloaded);
    EXPECT_FALSE(engine->modelFolder());
    EXPECT_EQ(errorOf([&] { engine->loadModels(); }), "Model folder is not set.");
    EXPECT_EQ(engine->modelState(), ModelState::loading);
    // A load flag without a folder fails the construction itself.
    config.load = true;
    EXPECT_EQ(errorOf([&] { Sonavex::create(config); }), "Model folder is not set.");
}

// Each model is checked before any is loaded, in the order mel, encoder, decoder.
TEST_F(FacadeTest, AMissingModelFileIsNamedBeforeAnythingLoads) {
    const fs::path folder = copyModels(temporary / "models");
    fs::remove_all(folder / "AudioEncoder.mlmodelc");
    SonavexConfig config;
    useFolder(config, folder);
    config.load = false;
    const auto engine = Sonavex::create(config);
    EXPECT_EQ(errorOf([&] { engine->loadModels(); }),
              "Model file not found at " + (folder / "AudioEncoder.mlmodelc").string());
    EXPECT_EQ(std::dynamic_pointer_cast<sonavex::FeatureExtractor>(engine->featureExtractor())->model(), nullptr);
    fs::remove_all(folder / "MelSpectrogram.mlmodelc");
    EXPECT_EQ(errorOf([&] { engine->loadModels(); }),
              "Model file not found at " + (folder / "MelSpectrogram.mlmodelc").string());
}

// Every assignment of the state is reported, in order: prewarm, load, a reload that keeps the tokenizer,
// and unloading, which keeps the tokenizer, the folder and the variant.
TEST_F(FacadeTest, StateChangesAreReportedAndAReloadKeepsTheTokenizer) {
    SonavexConfig config;
    useFolder(config, convertedModels());
    config.load = false;
    const auto engine = Sonavex::create(config);
    const auto seen = recordTransitions(*engine);

    engine->prewarmModels();
    EXPECT_EQ(engine->tokenizer(), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<sonavex::TextDecoder>(engine->textDecoder())->model(), nullptr);
    engine->loadModels();
    const auto tokenizer = engine->tokenizer();
    const auto timings = engine->currentTimings();
    EXPECT_GT(timings.prewarmLoadTime, 0);
    EXPECT_GT(timings.decoderSpecializationTime, 0);
    EXPECT_GE(timings.modelLoading, timings.prewarmLoadTime);
    {
        LogCapture log;
        engine->loadModels();
        EXPECT_TRUE(contains(log.lines(), "Tokenizer already exists on Sonavex, skipping load"));
    }
    EXPECT_EQ(engine->tokenizer(), tokenizer);
    engine->unloadModels();
    EXPECT_EQ(std::dynamic_pointer_cast<sonavex::TextDecoder>(engine->textDecoder())->model(), nullptr);
    EXPECT_EQ(engine->tokenizer(), tokenizer);
    EXPECT_TRUE(engine->modelFolder());

    const std::vector<Transition> expected = {
        {ModelState::unloaded, ModelState::prewarming}, {ModelState::prewarming, ModelState::prewarmed},
        {ModelState::prewarmed, ModelState::loading},   {ModelState::loading, ModelState::loaded},
        {ModelState::loaded, ModelState::loading},      {ModelState::loading, ModelState::loaded},
        {ModelState::loaded, ModelState::unloading},    {ModelState::unloading, ModelState::unloaded}};
    EXPECT_EQ(*seen, expected);
}

// Assigning the tokenizer hands it to the decoder of the moment; none removes both.
TEST_F(FacadeTest, TheTokenizerFollowsAssignmentOntoTheCurrentDecoder) {
    SonavexConfig config;
    useFolder(config, convertedModels());
    const auto engine = Sonavex::create(config);
    const auto tokenizer = engine->tokenizer();
    engine->setTokenizer(nullptr);
    EXPECT_EQ(engine->textDecoder()->tokenizer(), nullptr);
    const auto replacement = std::make_shared<sonavex::TextDecoder>();
    engine->setTextDecoder(replacement);
    engine->setTokenizer(tokenizer);
    EXPECT_EQ(replacement->tokenizer(), tokenizer);
}

// Building an engine sets the process's log level: none unless verbose; the configuration's stages and
// filters are the engine's own.
TEST_F(FacadeTest, ConstructionSetsTheLogLevelAndKeepsTheConfiguredStages) {
    LogCapture log(orvane::Logging::LogLevel::info);
    SonavexConfig config;
    config.download = false;
    config.verbose = false;
    config.logLevel = orvane::Logging::LogLevel::debug;
    auto decoder = std::make_shared<sonavex::TextDecoder>();
    config.textDecoder = decoder;
    config.logitsFilters = std::vector<std::shared_ptr<sonavex::LogitsFiltering>>{};
    decoder->setLogitsFilters(std::nullopt);
    auto engine = Sonavex::create(config);
    EXPECT_EQ(orvane::Logging::shared().logLevel(), orvane::Logging::LogLevel::none);
    EXPECT_EQ(engine->textDecoder(), decoder);
    EXPECT_TRUE(decoder->logitsFilters().has_value());

    config.verbose = true;
    engine = Sonavex::create(config);
    EXPECT_EQ(orvane::Logging::shared().logLevel(), orvane::Logging::LogLevel::debug);
}
