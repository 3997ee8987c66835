#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/Model.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/CheckpointSource.h"
#include "SonavexTests/Facade/FacadeFixture.h"

using namespace facadetest;
using sonavex::Sonavex;

namespace {

const std::string kRepo = "someone/speech-models";
const std::string kRepoText = kRepo + " (models)";

class DownloadTest : public FacadeTest {
protected:
    fs::path download(const std::string& variant, const Sonavex::DownloadProgressCallback& progress = {}) {
        return Sonavex::download(variant, temporary / "mirror", false, kRepo, std::nullopt, hub.endpoint(),
                                 progress);
    }

    size_t requestsFor(const std::string& part) const {
        const auto all = hub.requests();
        return size_t(std::count_if(all.begin(), all.end(), [&](const auto& request) {
            return request.target.find(part) != std::string::npos;
        }));
    }

    fs::path served() const { return temporary / "served"; }
    fs::path mirror() const { return temporary / "mirror" / "models" / "someone" / "speech-models"; }
};

} // namespace

// The variant names the folder that ends with it; of two such folders the "openai" one wins, and the
// snapshot brings that folder alone into the mirror.
TEST_F(DownloadTest, AVariantEndingTwoFoldersResolvesToTheOpenaiOne) {
    copyModels(served() / "openai_whisper-tiny");
    copyModels(served() / "other_whisper-tiny");
    testsupport::writeFile(served() / "openai_whisper-base" / "readme.txt", "base");
    hub.addRepository(kRepo, served());

    LogCapture log;
    int reports = 0;
    const fs::path folder = download("tiny", [&](const orvane::Progress&) { ++reports; });
    EXPECT_EQ(folder, mirror() / "openai_whisper-tiny");
    EXPECT_TRUE(fs::exists(folder / "TextDecoder.mlmodelc" / "model.json"));
    EXPECT_FALSE(fs::exists(mirror() / "other_whisper-tiny"));
    EXPECT_GT(reports, 0);
    EXPECT_TRUE(contains(log.lines(), "Multiple models found matching \"*tiny/*\""));
    EXPECT_TRUE(contains(log.lines(), "Searching for models matching \"*openai*tiny/*\" in " + kRepoText));

    // The folder loads as it came.
    sonavex::SonavexConfig config;
    useFolder(config, folder);
    EXPECT_EQ(Sonavex::create(config)->modelVariant(), sonavex::ModelVariant::tiny);
}

// Names no folder ends with, or that stay ambiguous, fail with the listing's pattern; the set-up wraps it.
TEST_F(DownloadTest, UnknownOrAmbiguousNamesFailWithTheirPattern) {
    testsupport::writeFile(served() / "openai_a_custom" / "x.bin", "a");
    testsupport::writeFile(served() / "openai_b_custom" / "x.bin", "b");
    hub.addRepository(kRepo, served());
    EXPECT_EQ(errorOf([&] { download("missing"); }), "No models found matching \"*missing/*\" in " + kRepoText);
    EXPECT_EQ(requestsFor("/api/models/"), 1u);
    EXPECT_EQ(errorOf([&] { download("custom"); }),
              "Multiple models found matching \"*openai*custom/*\" in " + kRepoText);

    sonavex::SonavexConfig config;
    config.model = "missing";
    config.modelRepo = kRepo;
    config.modelEndpoint = hub.endpoint();
    config.downloadBase = temporary / "mirror";
    config.verbose = false;
    EXPECT_EQ(errorOf([&] { Sonavex::create(config); }),
              "Model not found. Please check the model or repo name and try again.\nError: No models found "
              "matching \"*missing/*\" in " +
                  kRepoText);
}

// With the hub out of reach a variant fetched before is used when it holds every file the repository
// listed, each with its download record; one that lost a file or a record fails saying so and why the hub
// could not be asked; a variant never fetched fails with the hub's error.
TEST_F(DownloadTest, AFetchedVariantStandsInForAnUnreachableHub) {
    copyModels(served() / "openai_whisper-tiny");
    hub.addRepository(kRepo, served());
    const fs::path folder = download("tiny");
    const auto offline = [&](const std::string& variant) {
        return Sonavex::download(variant, temporary / "mirror", false, kRepo, std::nullopt,
                                 "http://hub.invalid/", {});
    };
    {
        LogCapture log(orvane::Logging::LogLevel::info);
        EXPECT_EQ(offline("tiny"), folder);
        EXPECT_EQ(log.linesStartingWith("The hub cannot be reached (").size(), 1u);
    }
    const std::string hubError = "Download failed: A server with the specified hostname could not be found.";
    EXPECT_EQ(errorOf([&] { offline("custom-variant"); }), hubError);
    const std::string cannotStandIn =
        "Network error: The hub cannot be reached (A server with the specified "
        "hostname could not be found.), and the local copy of tiny cannot stand in: ";
    fs::remove(folder / "config.json");
    EXPECT_EQ(errorOf([&] { offline("tiny"); }),
              cannotStandIn + "Incomplete local copy: openai_whisper-tiny/config.json is missing");
    fs::remove(mirror() /
               ".cache/huggingface/download/openai_whisper-tiny/TextDecoder.mlmodelc/model.json.metadata");
    EXPECT_EQ(errorOf([&] { offline("tiny"); }), cannotStandIn + "Metadata not available for model.json");
}

// The support file decides the recommendation; two of them: the first listed; none or an unreachable
// hub: the built-in table.
TEST_F(DownloadTest, TheSupportFileOrTheBuiltInTable) {
    const std::string device = Sonavex::deviceName();
    testsupport::writeFile(served() / "config.json",
                           R"({"name": "r", "version": "1", "device_support": [{"identifiers": [")" + device +
                               R"("], "models": {"default": "openai_whisper-small",
                               "supported": ["openai_whisper-small", "openai_whisper-tiny", "distil-x"]}}]})");
    testsupport::writeFile(served() / "sub" / "config.json", "{}");
    hub.addRepository(kRepo, served());
    LogCapture log;
    const auto support =
        Sonavex::recommendedRemoteModels(kRepo, temporary / "mirror", std::nullopt, "*config.json", hub.endpoint());
    EXPECT_EQ(support.defaultModel, "openai_whisper-small");
    EXPECT_TRUE(contains(log.lines(), "Multiple config files found (2): [\"config.json\", \"sub/config.json\"]. "
                                      "Using first matching file: config.json"));
    EXPECT_EQ(Sonavex::fetchAvailableModels(kRepo, {"*tiny*", "*whisper*"}, temporary / "mirror", std::nullopt,
                                            "config.json", hub.endpoint()),
              (std::vector<std::string>{"openai_whisper-tiny", "openai_whisper-small"}));
    EXPECT_TRUE(Sonavex::fetchAvailableModels(kRepo, {}, temporary / "mirror", std::nullopt, "config.json",
                                              hub.endpoint())
                    .empty());

    const auto builtIn = Sonavex::recommendedModels();
    EXPECT_EQ(Sonavex::recommendedRemoteModels(kRepo, temporary / "mirror", std::nullopt, "absent.json",
                                               hub.endpoint())
                  .defaultModel,
              builtIn.defaultModel);
    EXPECT_EQ(Sonavex::recommendedRemoteModels(kRepo, std::nullopt, std::nullopt, "config.json",
                                               "http://127.0.0.1:1")
                  .defaultModel,
              builtIn.defaultModel);
    const auto lines = log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("Fetch model support config failed with error: ");
    }));
}

// Known names map onto their public checkpoints; a size suffix or "_turbo" is the same checkpoint.
TEST(CheckpointSource, KnownNamesResolveToTheirCheckpoints) {
    using sonavex::CheckpointSource;
    EXPECT_EQ(CheckpointSource::forVariant("tiny")->modelName, "openai_whisper-tiny");
    EXPECT_EQ(CheckpointSource::forVariant("tiny")->checkpointRepo, "openai/whisper-tiny");
    EXPECT_EQ(CheckpointSource::forVariant("base.en")->checkpointRepo, "openai/whisper-base.en");
    EXPECT_EQ(CheckpointSource::forVariant("large-v3-v20240930_626MB")->checkpointRepo,
              "openai/whisper-large-v3-turbo");
    EXPECT_EQ(CheckpointSource::forVariant("distil-large-v3_594MB")->checkpointRepo,
              "distil-whisper/distil-large-v3");
    EXPECT_EQ(CheckpointSource::checkpointRepoFor("openai_whisper-large-v3_turbo_954MB"),
              "openai/whisper-large-v3");
    EXPECT_EQ(CheckpointSource::checkpointRepoFor("openai_whisper-large-v2_949MB"), "openai/whisper-large-v2");
    EXPECT_FALSE(CheckpointSource::forVariant("nothing-like-it"));
    EXPECT_FALSE(CheckpointSource::checkpointRepoFor("someone_else-base"));
    // Every known model has a checkpoint.
    for (const auto& name : sonavex::Constants::knownModels()) {
        EXPECT_TRUE(CheckpointSource::checkpointRepoFor(name)) << name;
    }
}

// A repository without this runtime's models (here: none at all) gets a known variant built from its
// public checkpoint into the variant's folder, with progress to the end; a second download reuses it.
TEST_F(DownloadTest, AKnownVariantIsBuiltFromItsCheckpointWhenTheRepositoryHasNone) {
    testsupport::writeCheckpoint(temporary / "checkpoint", tinyShape());
    hub.addRepository("openai/whisper-tiny", temporary / "checkpoint");
    std::vector<double> fractions;
    const auto record = [&](const orvane::Progress& progress) { fractions.push_back(progress.fractionCompleted()); };

    const fs::path folder = download("tiny", record);
    EXPECT_EQ(folder, mirror() / "openai_whisper-tiny");
    EXPECT_TRUE(sonavex::CheckpointSource::holdsConvertedModels(folder));
    ASSERT_FALSE(fractions.empty());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
    const size_t checkpointRequests = requestsFor("whisper-tiny");

    // One copy is kept: the checkpoint's weights go, their download records stay.
    const fs::path checkpoint = temporary / "mirror" / "models" / "openai" / "whisper-tiny";
    EXPECT_FALSE(fs::exists(checkpoint / "model.safetensors"));
    EXPECT_TRUE(fs::exists(checkpoint / ".cache/huggingface/download/model.safetensors.metadata"));
    EXPECT_TRUE(fs::exists(checkpoint / "config.json"));

    fractions.clear();
    EXPECT_EQ(download("tiny", record), folder);
    EXPECT_EQ(requestsFor("whisper-tiny"), checkpointRequests);
    EXPECT_EQ(fractions, std::vector<double>{1.0});
    EXPECT_EQ(Sonavex::download("tiny", temporary / "mirror", false, kRepo, std::nullopt,
                                "http://hub.invalid/", {}),
              folder);

    // A repository folder of another runtime's files does not count either; an unknown name still fails.
    testsupport::writeFile(served() / "openai_whisper-base" / "AudioEncoder.mlmodelc" / "coremldata.bin", "x");
    hub.addRepository(kRepo, served());
    testsupport::writeCheckpoint(temporary / "base-checkpoint", tinyShape());
    hub.addRepository("openai/whisper-base", temporary / "base-checkpoint");
    EXPECT_EQ(download("base"), mirror() / "openai_whisper-base");
    EXPECT_TRUE(sonavex::CheckpointSource::holdsConvertedModels(mirror() / "openai_whisper-base"));
    EXPECT_EQ(errorOf([&] { download("unknown"); }), "No models found matching \"*unknown/*\" in " + kRepoText);
}

// A conversion that lost a model's weights is not a finished one: with the hub out of reach it does not
// stand in and the error names the file and the hub's reason; with the hub it is built again.
TEST_F(DownloadTest, AConversionLackingAModelsWeightsIsBuiltAgainAndNeverStandsIn) {
    testsupport::writeCheckpoint(temporary / "checkpoint", tinyShape());
    hub.addRepository("openai/whisper-tiny", temporary / "checkpoint");
    const fs::path folder = download("tiny");
    const fs::path weights = folder / "TextDecoder.mlmodelc" / ml::ModelFolder::kWeightsFileName;
    fs::remove(weights);
    EXPECT_EQ(errorOf([&] {
                  Sonavex::download("tiny", temporary / "mirror", false, kRepo, std::nullopt,
                                    "http://hub.invalid/", {});
              }),
              "Network error: The hub cannot be reached (A server with the specified hostname could not be "
              "found.), and the local copy of tiny cannot stand in: Incomplete local copy: "
              "openai_whisper-tiny/TextDecoder.mlmodelc/weights.safetensors is missing");
    EXPECT_EQ(download("tiny"), folder);
    EXPECT_TRUE(fs::exists(weights));
}

// A variant whose name carries a size is built with 8-bit weights; one built before at half precision is
// kept as it is and still loads by the weight type it records.
TEST_F(DownloadTest, ASizedVariantIsBuiltEightBitAndAnEarlierHalfBuildIsKept) {
    testsupport::writeCheckpoint(temporary / "checkpoint", tinyShape());
    hub.addRepository("openai/whisper-large-v3-turbo", temporary / "checkpoint");
    const fs::path folder = download("large-v3-v20240930_626MB");
    EXPECT_EQ(folder, mirror() / "openai_whisper-large-v3-v20240930_626MB");
    for (const char* model : {"AudioEncoder", "TextDecoder"}) {
        const fs::path path = folder / (std::string(model) + ".mlmodelc");
        EXPECT_EQ(ml::ModelFolder::read(path).parameters().string("weight_type"), "int8") << model;
        EXPECT_NO_THROW(ml::Model::load(path)) << model;
    }

    const fs::path earlier = mirror() / "distil-whisper_distil-large-v3_594MB";
    sonavex::CheckpointConverter::convert(temporary / "checkpoint", earlier);
    EXPECT_EQ(download("distil-large-v3_594MB"), earlier);
    EXPECT_EQ(requestsFor("distil-whisper/distil-large-v3"), 0u);
    EXPECT_EQ(ml::ModelFolder::read(earlier / "TextDecoder.mlmodelc").parameters().string("weight_type"),
              "half");
    EXPECT_NO_THROW(ml::Model::load(earlier / "TextDecoder.mlmodelc"));
}
