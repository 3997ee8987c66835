#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Models/ModelDownloader.h"
#include "OrvaneCore/Models/ModelDownloaderError.h"
#include "OrvaneCore/Models/ModelManager.h"
#include "OrvaneCore/System/Progress.h"
#include "OrvaneCoreTests/Hub/HubTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace orvane;
namespace fs = std::filesystem;

namespace {

const std::string kModelDir = "tiny/v1/base";
const std::string kMel = "MelSpectrogram";
const std::string kEncoder = "AudioEncoder";

ModelInfo tinyBase() {
    return ModelInfo("v1", "base", "tiny", ml::ComputeUnits::cpuOnly);
}

// A repository "owner/name" holding one model set (a compiled model and a package) beside a top-level
// configuration file, a mirror folder to fill, and every log line and reported state collected.
class ModelDownloaderTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        testsupport::writeFile(repository / kModelDir / (kMel + ".mlmodelc") / "model.json", "{}");
        testsupport::writeFile(
            repository / kModelDir / (kEncoder + ".mlpackage/Data/com.apple.CoreML/model.mlmodel"), "{}");
        testsupport::writeFile(repository / "config.json", "{}");
        useNetwork(true);
        Logging::updateLogLevel(Logging::LogLevel::debug);
        Logging::updateCallback([this](const std::string& line) { lines.push_back(line); });
    }
    void TearDown() override {
        Logging::updateCallback(nullptr);
        Logging::updateLogLevel(Logging::LogLevel::none);
        HubApi::NetworkMonitor::shared().injectPathForTesting(net::NetworkPath{});
        HubTest::TearDown();
    }

    /// Whether the shared network state lets a snapshot go to the network.
    void useNetwork(bool online) {
        net::NetworkPath path;
        path.satisfied = online;
        HubApi::NetworkMonitor::shared().injectPathForTesting(path);
    }

    ModelDownloader downloader(const std::string& endpoint = "") const {
        return ModelDownloader(ModelDownloadConfig(mirror.path().string(), "owner/name", std::string(),
                                                   std::nullopt, false,
                                                   endpoint.empty() ? hub.endpoint() : endpoint, "main"));
    }
    fs::path repoFolder() const { return mirror / "models" / "owner" / "name"; }
    fs::path melInMirror() const { return repoFolder() / kModelDir / (kMel + ".mlmodelc"); }

    /// Fills the mirror through the hub, then forgets what was sent and logged.
    void mirrorTheModel() {
        downloader().downloadModel(tinyBase(), std::nullopt, false);
        ASSERT_TRUE(fs::exists(melInMirror()));
        hub.clearRequests();
        lines.clear();
    }

    fs::path resolve(const std::string& name, bool download, const std::optional<fs::path>& modelFolder = {},
                     const std::string& endpoint = "") {
        return downloader(endpoint).resolveModel(name, tinyBase(), modelFolder, std::nullopt, download,
                                                 [this](ModelState state) { states.push_back(state); });
    }

    bool logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), "[ModelDownloader] " + line) != lines.end();
    }

    static std::string unavailable(const std::function<void()>& call) {
        try {
            call();
        } catch (const ModelDownloaderError& error) {
            EXPECT_EQ(error.kind(), ModelDownloaderError::Kind::modelUnavailable);
            return error.errorDescription();
        }
        ADD_FAILURE() << "no ModelDownloaderError";
        return {};
    }

    testsupport::TemporaryDirectory mirror;
    std::vector<std::string> lines;
    std::vector<ModelState> states;
};

} // namespace

TEST(ModelInfo, FolderPatternAndDescriptions) {
    ModelInfo full("v2", "turbo", "whisper", ml::ComputeUnits::cpuAndNeuralEngine);
    EXPECT_EQ(full.modelURL("/base"), fs::path("/base/whisper/v2/turbo"));
    EXPECT_EQ(full.downloadPattern(), "whisper/v2/turbo/*");
    EXPECT_EQ(full.description(), "whisper/v2/turbo");
    EXPECT_EQ(full.debugDescription(),
              "ModelInfo(name: whisper, version: v2, variant: turbo, computeUnit: cpuAndNeuralEngine)");

    ModelInfo bare(std::nullopt, std::nullopt, "whisper", static_cast<ml::ComputeUnits>(9));
    EXPECT_EQ(bare.modelURL("/base"), fs::path("/base/whisper"));
    EXPECT_EQ(bare.downloadPattern(), "whisper/*/*/*");
    EXPECT_EQ(bare.description(), "whisper");
    EXPECT_EQ(bare.debugDescription(),
              "ModelInfo(name: whisper, version: nil, variant: nil, computeUnit: unknown)");
    EXPECT_EQ(ModelInfo(std::nullopt, "q8", "w", ml::ComputeUnits::all).downloadPattern(), "w/*/q8/*");

    // The nearest component equal to the name, searching upward; the root is never compared.
    EXPECT_EQ(bare.findBaseFolder("/data/models/whisper"), fs::path("/data/models"));
    EXPECT_EQ(bare.findBaseFolder("/data/whisper/v2/turbo/"), fs::path("/data"));
    EXPECT_EQ(bare.findBaseFolder("/data/models/other"), std::nullopt);
    EXPECT_EQ(ModelInfo(std::nullopt, std::nullopt, "/", ml::ComputeUnits::all).findBaseFolder("/a"),
              std::nullopt);
}

TEST_F(ModelDownloaderTest, SearchesTheModelFolderThenTheMirrorThenTheHub) {
    // Nowhere yet, and downloading is not allowed.
    EXPECT_EQ(unavailable([&] { resolve(kMel, false); }),
              "No model found for MelSpectrogram (download disabled)");
    EXPECT_TRUE(states.empty());

    // The hub.
    EXPECT_EQ(resolve(kMel, true), melInMirror());
    EXPECT_EQ(states, (std::vector<ModelState>{ModelState::downloading, ModelState::downloaded}));
    EXPECT_TRUE(logged("Downloading model tiny/v1/base/* with offline mode: false"));
    EXPECT_TRUE(logged("Downloaded MelSpectrogram"));

    // The mirror, after a model folder that does not hold the model: one listing request, no transfer.
    hub.clearRequests();
    states.clear();
    testsupport::TemporaryDirectory folder;
    EXPECT_EQ(resolve(kMel, false, folder.path()), melInMirror());
    EXPECT_EQ(states, std::vector<ModelState>{ModelState::downloaded});
    EXPECT_TRUE(logged("Searching for models matching \"tiny/v1/base/*\" in "
                       "Repo(id: \"owner/name\", type: models)"));
    EXPECT_TRUE(logged("Downloading model tiny/v1/base/* with offline mode: true"));
    EXPECT_TRUE(logged("Found existing MelSpectrogram in cache"));
    ASSERT_EQ(hub.requests().size(), 1u);
    EXPECT_NE(hub.requests()[0].target.find("/api/models/owner/name/revision/main"), std::string::npos);

    // The model folder (here the configured one, holding a package): nothing is asked, nothing reported.
    hub.clearRequests();
    states.clear();
    auto package = folder / kModelDir / (kEncoder + ".mlpackage/Data/com.apple.CoreML/model.mlmodel");
    testsupport::writeFile(package, "{}");
    ModelDownloader configured(ModelDownloadConfig(std::nullopt, "owner/name", std::string(),
                                                   folder.path().string(), false, hub.endpoint(), "main"));
    EXPECT_EQ(configured.resolveModel(kEncoder, tinyBase(), std::nullopt, std::nullopt, false), package);
    EXPECT_TRUE(hub.requests().empty());
    EXPECT_TRUE(logged("Found AudioEncoder in model folder"));

    // Downloaded, but the set has no such model: the last state reported stays downloading.
    EXPECT_EQ(unavailable([&] { resolve("TextDecoder", true); }), "No model found for TextDecoder");
    EXPECT_EQ(states, std::vector<ModelState>{ModelState::downloading});
    EXPECT_EQ(
        unavailable([&] { downloader().downloadModel(ModelInfo("v9", std::nullopt, "tiny", {}), {}, true); }),
        "No models found matching \"tiny/v9/*/*\" in owner/name");
}

TEST_F(ModelDownloaderTest, UnreachableHubHidesAMirroredModelOnlyFromTheCacheCheck) {
    mirrorTheModel();
    std::string unreachable;
    {
        testsupport::FakeHub gone;
        unreachable = gone.endpoint(); // nothing listens there once it is destroyed
    }
    // The cache check needs the listing, so a complete mirror is not found without downloading.
    EXPECT_EQ(unavailable([&] { resolve(kMel, false, std::nullopt, unreachable); }),
              "No model found for MelSpectrogram (download disabled)");
    EXPECT_TRUE(states.empty());

    // Downloading allowed and the network state offline: the snapshot checks the mirror instead.
    useNetwork(false);
    EXPECT_EQ(resolve(kMel, true, std::nullopt, unreachable), melInMirror());
    EXPECT_EQ(states, (std::vector<ModelState>{ModelState::downloading, ModelState::downloaded}));
    EXPECT_TRUE(logged("Downloaded MelSpectrogram"));

    // Online with the hub out of reach, the complete mirror stands in as offline; a mirror that lost a
    // download record gets the hub's own error.
    states.clear();
    useNetwork(true);
    EXPECT_EQ(resolve(kMel, true, std::nullopt, unreachable), melInMirror());
    EXPECT_EQ(states, (std::vector<ModelState>{ModelState::downloading, ModelState::downloaded}));
    states.clear();
    fs::remove(repoFolder() / ".cache/huggingface/download" / kModelDir / (kMel + ".mlmodelc/model.json.metadata"));
    EXPECT_THROW(resolve(kMel, true, std::nullopt, unreachable), Hub::HubClientError);
    EXPECT_EQ(states, std::vector<ModelState>{ModelState::downloading});
}

TEST_F(ModelDownloaderTest, ResolveRepoValidatesAPresentMirrorWithoutTheHub) {
    mirrorTheModel();
    auto d = downloader();
    EXPECT_EQ(d.localRepoLocation(std::nullopt), repoFolder());
    EXPECT_EQ(d.resolveRepo({"tiny/v1/base/*"}, std::nullopt, false), repoFolder());
    EXPECT_TRUE(logged("Found valid local cache at " + repoFolder().string()));
    // An empty list counts as present and goes straight to the offline check.
    EXPECT_EQ(d.resolveRepo({}, std::nullopt, false), repoFolder());
    EXPECT_TRUE(hub.requests().empty());
}

TEST_F(ModelDownloaderTest, ResolveRepoCountsWildcardLedAndSingleFilePatternsAsAbsent) {
    auto d = downloader();
    d.resolveRepo({"tiny/*", "config.json"}, std::nullopt, true);
    ASSERT_TRUE(fs::exists(repoFolder() / "config.json"));
    ASSERT_TRUE(fs::exists(melInMirror()));
    const std::string disabled =
        "No valid local models found for repo 'owner/name' and download is disabled.";
    // Present locally, yet never counted so: a wildcard first piece, a single file; and a missing folder.
    for (const std::string pattern : {"*/v1/base/*", "config.json", "tiny/v2/*"}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(unavailable([&] { d.resolveRepo({pattern}, std::nullopt, false); }), disabled);
    }
    // The test stops at the first absent pattern.
    EXPECT_EQ(unavailable([&] { d.resolveRepo({"tiny/*", "config.json"}, std::nullopt, false); }), disabled);

    // With downloading allowed an absent pattern goes to the hub.
    hub.clearRequests();
    std::vector<double> fractions;
    EXPECT_EQ(
        d.resolveRepo({"config.json"}, std::nullopt, true,
                      [&](const Progress& progress) { fractions.push_back(progress.fractionCompleted()); }),
        repoFolder());
    EXPECT_FALSE(hub.requests().empty());
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_TRUE(logged("Downloading 1 model(s) from owner/name..."));
    EXPECT_TRUE(logged("Download complete: " + repoFolder().string()));
}

TEST_F(ModelDownloaderTest, ResolveRepoRedownloadsAMirrorThatDoesNotValidate) {
    mirrorTheModel();
    auto record =
        repoFolder() / ".cache/huggingface/download" / kModelDir / (kMel + ".mlmodelc/model.json.metadata");
    ASSERT_TRUE(fs::remove(record));
    auto d = downloader();
    const std::string disabled =
        "No valid local models found for repo 'owner/name' and download is disabled.";
    EXPECT_EQ(unavailable([&] { d.resolveRepo({"tiny/v1/base/*"}, std::nullopt, false); }), disabled);
    bool reported = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("[ModelDownloader] Local cache for 'owner/name' didn't validate (", 0) == 0 &&
               line.find("model.json") != std::string::npos && line.ends_with("); re-resolving.");
    });
    EXPECT_TRUE(reported);

    EXPECT_EQ(d.resolveRepo({"tiny/v1/base/*"}, std::nullopt, true), repoFolder());
    EXPECT_TRUE(fs::exists(record));
    EXPECT_EQ(d.fetchFilenames({"tiny/v1/*"}, std::nullopt).size(), 2u);
}

// A loader of the tests' own that brings its model set through the downloader into the mirror.
class MirrorLoader : public ModelLoader {
public:
    std::optional<std::string> modelFolder() const override { return std::nullopt; }
    std::string resolveModels(ModelDownloader& downloader, const ProgressCallback& progress) override {
        auto repo = downloader.resolveRepo({"tiny/v1/base/*"}, std::nullopt, true, progress);
        return (repo / kModelDir).string();
    }
    void load(const std::string& folder, bool) override {
        if (!fs::exists(fs::path(folder) / (kMel + ".mlmodelc/model.json"))) {
            throw std::runtime_error("no mel model in " + folder);
        }
        loadedFrom = folder;
    }
    void unload() noexcept override {}
    std::string loadedFrom;
};

TEST_F(ModelDownloaderTest, ManagerLoadsThroughTheDownloaderIntoTheMirror) {
    auto loader = std::make_shared<MirrorLoader>();
    ModelManager manager(loader, std::make_shared<ModelDownloader>(downloader()));
    manager.ensureModelsLoaded();
    EXPECT_TRUE(manager.isLoaded());
    EXPECT_EQ(manager.modelPath(), repoFolder() / kModelDir);
    EXPECT_EQ(loader->loadedFrom, (repoFolder() / kModelDir).string());
}

TEST_F(ModelDownloaderTest, AStopIsNotTakenForAMissingModel) {
    mirrorTheModel();
    std::stop_source stop;
    stop.request_stop();
    auto d = downloader();
    EXPECT_THROW(d.resolveModel(kMel, tinyBase(), std::nullopt, std::nullopt, false, {}, stop.get_token()),
                 CancellationError);
    EXPECT_THROW(d.resolveRepo({"*"}, std::nullopt, true, {}, stop.get_token()), CancellationError);
}
