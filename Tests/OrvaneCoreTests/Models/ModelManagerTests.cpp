#include "OrvaneCore/Errors/OrvaneCoreError.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCore/Models/ModelDownloader.h"
#include "OrvaneCore/Models/ModelManager.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace orvane;
using State = ModelState;
using Transitions = std::vector<std::pair<State, State>>;

namespace {

struct LoaderFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Holds a loader operation until the test opens it; the test can wait for the operation to get there.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool arrived = false, open = false;
    void pass() {
        std::unique_lock lock(mutex);
        arrived = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    void awaitArrival() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return arrived; });
    }
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// The tests' own loader: records its calls ("resolve", "load F", "prewarm F", "unload"); can fail or hold.
struct RecordingLoader : ModelLoader {
    std::optional<std::string> folder;
    bool failResolve = false, failLoad = false;
    Gate *resolveGate = nullptr, *loadGate = nullptr;
    std::mutex mutex;
    std::vector<std::string> calls;

    std::optional<std::string> modelFolder() const override { return folder; }
    std::string resolveModels(ModelDownloader&, const ProgressCallback&) override {
        step("resolve", resolveGate, failResolve, "hub unreachable");
        return "/models/resolved";
    }
    void load(const std::string& from, bool prewarm) override {
        step((prewarm ? "prewarm " : "load ") + from, loadGate, failLoad, "weights missing");
    }
    void unload() noexcept override { step("unload", nullptr, false, ""); }
    void step(const std::string& call, Gate* gate, bool fail, const char* failure) {
        {
            std::lock_guard lock(mutex);
            calls.push_back(call);
        }
        if (gate) {
            gate->pass();
        }
        if (fail) {
            throw LoaderFailure(failure);
        }
    }
    long count(const std::string& prefix) {
        std::lock_guard lock(mutex);
        return std::count_if(calls.begin(), calls.end(), [&](auto& c) { return c.rfind(prefix, 0) == 0; });
    }
};

class ModelManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logging::updateLogLevel(Logging::LogLevel::debug);
        Logging::updateCallback([this](const std::string& text) {
            std::lock_guard lock(mutex);
            lines.push_back(text);
        });
        manager.setModelStateCallback([this](State from, State to) {
            std::lock_guard lock(mutex);
            transitions.emplace_back(from, to);
        });
    }
    void TearDown() override {
        Logging::updateCallback(nullptr);
        Logging::updateLogLevel(Logging::LogLevel::none);
    }
    bool logged(const std::string& line) {
        std::lock_guard lock(mutex);
        return std::find(lines.begin(), lines.end(), "[ModelManager] " + line) != lines.end();
    }
    static std::string refusal(const std::function<void()>& call) {
        try {
            call();
        } catch (const OrvaneCoreError& error) {
            return error.what();
        }
        return "no OrvaneCoreError";
    }

    std::mutex mutex;
    std::vector<std::string> lines;
    Transitions transitions;
    std::shared_ptr<RecordingLoader> loader = std::make_shared<RecordingLoader>();
    ModelManager manager{
        loader, std::make_shared<ModelDownloader>("http://127.0.0.1:9", "o/r", std::nullopt, "main", false)};
};

// Waits until a thread has settled into a long sleep: asleep, and still asleep 20 ms later without having
// woken in between. While the run is held inside the loader, the only place a caller of
// ensureModelsLoaded() sleeps that long is its wait for the run's outcome (a wait on a lock is brief).
void waitUntilSettledAsleep(pid_t thread) {
    auto read = [path = "/proc/self/task/" + std::to_string(thread) +
                        "/status"]() -> std::optional<std::string> {
        std::ifstream status(path);
        std::string line, seen;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0 || line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                seen += line;
            }
        }
        return seen.empty() ? std::nullopt : std::optional(seen); // empty: the thread has finished
    };
    for (;;) {
        auto before = read();
        if (before && before->find("S (sleeping)") == std::string::npos) {
            std::this_thread::yield();
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!before || read() == before) {
            return;
        }
    }
}

// Two callers of ensureModelsLoaded(): the second arrives while the first one's run is held at `gate`,
// and the gate opens only once both wait. Returns what each caller saw.
std::vector<std::string> twoEnsureCallers(ModelManager& manager, Gate& gate) {
    std::mutex mutex;
    std::vector<std::string> outcomes;
    std::atomic<pid_t> secondThread{0};
    auto caller = [&](bool second) {
        if (second) {
            secondThread = static_cast<pid_t>(::syscall(SYS_gettid));
        }
        std::string outcome = "loaded";
        try {
            manager.ensureModelsLoaded();
        } catch (const std::exception& error) {
            outcome = error.what();
        }
        std::lock_guard lock(mutex);
        outcomes.push_back(outcome);
    };
    std::thread first(caller, false);
    gate.awaitArrival();
    std::thread second(caller, true);
    while (secondThread == 0) {
        std::this_thread::yield();
    }
    waitUntilSettledAsleep(secondThread);
    gate.release();
    first.join();
    second.join();
    return outcomes;
}

} // namespace

TEST_F(ModelManagerTest, LoadFromTheLoadersFolderSkipsResolving) {
    loader->folder = "/opt/models/tiny/";
    manager.loadModels();
    EXPECT_EQ(transitions, (Transitions{{State::unloaded, State::downloaded},
                                        {State::downloaded, State::loading},
                                        {State::loading, State::loaded}}));
    EXPECT_EQ(loader->calls, std::vector<std::string>{"load /opt/models/tiny"});
    EXPECT_EQ(manager.modelPath(), std::filesystem::path("/opt/models/tiny"));
    EXPECT_TRUE(logged("modelFolder is set, skipping download"));
    EXPECT_TRUE(logged("Models loaded successfully"));

    manager.loadModels();
    manager.downloadModels();
    EXPECT_EQ(transitions.size(), 3u);
    EXPECT_EQ(loader->calls.size(), 1u);
    EXPECT_TRUE(logged("Models already loaded, skipping"));
    EXPECT_TRUE(logged("Models already downloaded (state: Loaded), skipping download"));
}

TEST_F(ModelManagerTest, DownloadPrewarmLoadAndUnload) {
    manager.downloadModels();
    EXPECT_TRUE(manager.isAvailable());
    manager.unloadModels(); // downloaded: nothing to release
    manager.prewarmModels();
    EXPECT_FALSE(manager.isAvailable()); // prewarming keeps nothing
    manager.prewarmModels();
    manager.loadModels(); // prewarmed is accepted
    EXPECT_EQ(refusal([&] { manager.prewarmModels(); }), "Cannot prewarm in state: Loaded");
    manager.unloadModels();

    EXPECT_EQ(loader->calls, (std::vector<std::string>{"resolve", "prewarm /models/resolved",
                                                       "load /models/resolved", "unload"}));
    EXPECT_EQ(transitions, (Transitions{{State::unloaded, State::downloading},
                                        {State::downloading, State::downloaded},
                                        {State::downloaded, State::prewarming},
                                        {State::prewarming, State::prewarmed},
                                        {State::prewarmed, State::loading},
                                        {State::loading, State::loaded},
                                        {State::loaded, State::unloading},
                                        {State::unloading, State::unloaded}}));
    for (auto line : {"Starting download process...", "Models downloaded to /models/resolved",
                      "Models prewarmed successfully", "Models already prewarmed, skipping"}) {
        EXPECT_TRUE(logged(line)) << line;
    }
}

TEST_F(ModelManagerTest, LoaderFailuresReturnToUnloadedAndPassThrough) {
    manager.downloadModels();
    manager.loadModels();
    manager.unloadModels();
    loader->failResolve = true;
    EXPECT_THROW(manager.loadModels(), LoaderFailure);
    EXPECT_EQ(manager.modelState(), State::unloaded);
    EXPECT_EQ(manager.modelPath(), std::filesystem::path("/models/resolved")); // kept from before
    EXPECT_TRUE(logged("Failed to download models: hub unreachable"));

    loader->failResolve = false;
    loader->failLoad = true;
    EXPECT_THROW(manager.loadModels(), LoaderFailure);
    EXPECT_EQ(transitions.back(), std::pair(State::loading, State::unloaded));
    EXPECT_THROW(manager.prewarmModels(), LoaderFailure);
    EXPECT_EQ(transitions.back(), std::pair(State::prewarming, State::unloaded));
    EXPECT_TRUE(logged("Failed to load models: weights missing"));
    EXPECT_TRUE(logged("Failed to prewarm models: weights missing"));
}

TEST_F(ModelManagerTest, OverlappingDirectCallsSeeTheIntermediateState) {
    Gate resolving, loading;
    loader->resolveGate = &resolving;
    std::thread download([&] { manager.downloadModels(); });
    resolving.awaitArrival();
    // The folder is settled before the state is looked at, and none is known yet.
    EXPECT_EQ(refusal([&] { manager.loadModels(); }),
              "No model path available. Call downloadModels() first, or provide modelFolder.");
    resolving.release();
    download.join();

    loader->loadGate = &loading;
    std::thread load([&] { manager.loadModels(); });
    loading.awaitArrival();
    EXPECT_EQ(refusal([&] { manager.loadModels(); }), "Cannot load in state: Loading");
    EXPECT_EQ(refusal([&] { manager.prewarmModels(); }), "Cannot prewarm in state: Loading");
    loading.release();
    load.join();
    EXPECT_TRUE(manager.isLoaded());
}

TEST_F(ModelManagerTest, ConcurrentEnsureCallsShareOneRunAndItsOutcome) {
    Gate resolving, loading;
    loader->resolveGate = &resolving;
    loader->failResolve = true;
    EXPECT_EQ(twoEnsureCallers(manager, resolving),
              (std::vector<std::string>{"hub unreachable", "hub unreachable"}));
    EXPECT_EQ(loader->count("resolve"), 1);

    // The failed run is over: the next call starts a fresh one.
    loader->failResolve = false;
    loader->resolveGate = nullptr;
    loader->loadGate = &loading;
    EXPECT_EQ(twoEnsureCallers(manager, loading), (std::vector<std::string>{"loaded", "loaded"}));
    EXPECT_EQ(loader->count("resolve"), 2);
    EXPECT_EQ(loader->count("load"), 1);
    manager.ensureModelsLoaded(); // loaded: returns at once
    EXPECT_EQ(loader->count("load"), 1);
}

TEST(ModelManagerNaming, LogLinesCarryTheDynamicTypeName) {
    struct TranscriberModels : ModelManager {
        using ModelManager::ModelManager;
    };
    std::vector<std::string> lines;
    Logging::updateLogLevel(Logging::LogLevel::debug);
    Logging::updateCallback([&](const std::string& text) { lines.push_back(text); });
    auto loader = std::make_shared<RecordingLoader>();
    loader->folder = "/m";
    TranscriberModels manager(
        loader, std::make_shared<ModelDownloader>("http://h", "o/r", std::nullopt, "main", false));
    manager.downloadModels();
    Logging::updateCallback(nullptr);
    Logging::updateLogLevel(Logging::LogLevel::none);
    EXPECT_EQ(lines, std::vector<std::string>{"[TranscriberModels] modelFolder is set, skipping download"});
    EXPECT_THROW(ModelManager(nullptr, manager.downloader()), std::invalid_argument);
}
