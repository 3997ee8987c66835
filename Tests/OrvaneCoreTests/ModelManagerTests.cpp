#include "OrvaneCore/Logging.h"
#include "OrvaneCore/ModelDownloader.h"
#include "OrvaneCore/ModelManager.h"
#include "OrvaneCore/OrvaneCoreError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace orvane;
using State = ModelState;

namespace {

struct LoaderFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A gate the test opens; a loader operation set to block waits on it and says when it got there.
class Gate {
public:
    void arriveAndWait() {
        std::unique_lock lock(mutex_);
        arrived_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void waitForArrival() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return arrived_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool arrived_ = false;
    bool open_ = false;
};

// The tests' own loader: records every call, can fail or block any operation.
class RecordingLoader : public ModelLoader {
public:
    std::optional<std::string> folder;
    std::string resolvedPath = "/models/resolved";
    bool failResolve = false, failLoad = false;
    Gate* resolveGate = nullptr;
    Gate* loadGate = nullptr;

    std::optional<std::string> modelFolder() const override { return folder; }

    std::string resolveModels(ModelDownloader&, const ProgressCallback&) override {
        record("resolve");
        if (resolveGate) {
            resolveGate->arriveAndWait();
        }
        if (failResolve) {
            throw LoaderFailure("hub unreachable");
        }
        return resolvedPath;
    }
    void load(const std::string& from, bool prewarm) override {
        record(std::string(prewarm ? "prewarm " : "load ") + from);
        if (loadGate) {
            loadGate->arriveAndWait();
        }
        if (failLoad) {
            throw LoaderFailure("weights missing");
        }
    }
    void unload() noexcept override { record("unload"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    long count(const std::string& prefix) const {
        auto all = calls();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }

private:
    void record(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

using Transition = std::pair<State, State>;

class ModelManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logging::updateLogLevel(Logging::LogLevel::debug);
        Logging::updateCallback([this](const std::string& text) {
            std::lock_guard lock(mutex);
            logLines.push_back(text);
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
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }
    std::vector<Transition> seen() {
        std::lock_guard lock(mutex);
        return transitions;
    }

    std::mutex mutex;
    std::vector<std::string> logLines;
    std::vector<Transition> transitions;
    std::shared_ptr<RecordingLoader> loader = std::make_shared<RecordingLoader>();
    ModelManager manager{loader, std::make_shared<ModelDownloader>("http://127.0.0.1:9", "owner/models",
                                                                   std::nullopt, "main", false)};
};

template <class Body> std::string invalidConfigurationMessage(Body body) {
    try {
        body();
    } catch (const OrvaneCoreError& error) {
        EXPECT_EQ(error.kind(), OrvaneCoreError::Kind::invalidConfiguration);
        return error.what();
    }
    ADD_FAILURE() << "no OrvaneCoreError";
    return {};
}

// Waits until a thread has settled into a long sleep: asleep, and still asleep 20 ms later without having
// woken in between. While the run is held up inside the loader, the only place a caller of
// ensureModelsLoaded() sleeps that long is its wait for the run's outcome (a brief wait on a lock wakes).
void waitUntilSettledAsleep(pid_t thread) {
    auto statusPath = "/proc/self/task/" + std::to_string(thread) + "/status";
    // "S" plus the count of voluntary switches, or nothing when the thread has finished.
    auto read = [&]() -> std::optional<std::pair<bool, std::string>> {
        std::ifstream status(statusPath);
        if (!status) {
            return std::nullopt;
        }
        bool sleeping = false;
        std::string line, switches;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0) {
                sleeping = line.find("S (sleeping)") != std::string::npos;
            } else if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                switches = line;
            }
        }
        return std::make_pair(sleeping, switches);
    };
    for (;;) {
        auto before = read();
        if (!before) {
            return;
        }
        if (!before->first) {
            std::this_thread::yield();
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        auto after = read();
        if (!after || *after == *before) {
            return;
        }
    }
}

} // namespace

TEST_F(ModelManagerTest, LoadWithAGivenFolderSkipsResolvingAndReportsEachChange) {
    loader->folder = "/opt/models/tiny";
    manager.loadModels();

    EXPECT_EQ(seen(), (std::vector<Transition>{{State::unloaded, State::downloaded},
                                               {State::downloaded, State::loading},
                                               {State::loading, State::loaded}}));
    EXPECT_EQ(loader->calls(), std::vector<std::string>{"load /opt/models/tiny"});
    EXPECT_EQ(manager.modelPath(), std::filesystem::path("/opt/models/tiny"));
    EXPECT_TRUE(manager.isLoaded());
    EXPECT_TRUE(logged("[ModelManager] modelFolder is set, skipping download"));
    EXPECT_TRUE(logged("[ModelManager] Models loaded successfully"));

    // Loading again changes nothing and calls nothing.
    manager.loadModels();
    EXPECT_EQ(seen().size(), 3u);
    EXPECT_EQ(loader->count("load"), 1);
    EXPECT_TRUE(logged("[ModelManager] Models already loaded, skipping"));
}

TEST_F(ModelManagerTest, DownloadResolvesThroughTheLoaderThenLoadsFromTheResolvedFolder) {
    manager.downloadModels();
    EXPECT_EQ(manager.modelState(), State::downloaded);
    EXPECT_EQ(manager.modelPath(), std::filesystem::path("/models/resolved"));
    EXPECT_TRUE(manager.isAvailable());
    EXPECT_TRUE(logged("[ModelManager] Starting download process..."));
    EXPECT_TRUE(logged("[ModelManager] Models downloaded to /models/resolved"));

    manager.loadModels();
    EXPECT_EQ(loader->calls(), (std::vector<std::string>{"resolve", "load /models/resolved"}));
    EXPECT_EQ(seen(), (std::vector<Transition>{{State::unloaded, State::downloading},
                                               {State::downloading, State::downloaded},
                                               {State::downloaded, State::loading},
                                               {State::loading, State::loaded}}));

    // Loaded: a further download step only says so.
    manager.downloadModels();
    EXPECT_EQ(loader->count("resolve"), 1);
    EXPECT_TRUE(logged("[ModelManager] Models already downloaded (state: Loaded), skipping download"));
}

TEST_F(ModelManagerTest, PrewarmThenLoadAndTheStatesThatRefuse) {
    manager.prewarmModels();
    EXPECT_EQ(manager.modelState(), State::prewarmed);
    EXPECT_FALSE(manager.isAvailable()); // nothing is held after prewarming
    EXPECT_TRUE(logged("[ModelManager] Models prewarmed successfully"));

    manager.prewarmModels();
    EXPECT_TRUE(logged("[ModelManager] Models already prewarmed, skipping"));

    manager.loadModels();
    EXPECT_EQ(loader->calls(),
              (std::vector<std::string>{"resolve", "prewarm /models/resolved", "load /models/resolved"}));

    auto before = seen().size();
    EXPECT_EQ(invalidConfigurationMessage([&] { manager.prewarmModels(); }),
              "Cannot prewarm in state: Loaded");
    EXPECT_EQ(manager.modelState(), State::loaded);
    EXPECT_EQ(seen().size(), before);
}

TEST_F(ModelManagerTest, UnloadOnlyFromLoadedOrPrewarmed) {
    loader->folder = "/opt/m";
    manager.downloadModels();
    manager.unloadModels();
    EXPECT_EQ(manager.modelState(), State::downloaded);
    EXPECT_EQ(loader->count("unload"), 0);

    manager.loadModels();
    manager.unloadModels();
    EXPECT_EQ(manager.modelState(), State::unloaded);
    EXPECT_EQ(loader->count("unload"), 1);
    auto all = seen();
    EXPECT_EQ(
        (std::vector<Transition>(all.end() - 2, all.end())),
        (std::vector<Transition>{{State::loaded, State::unloading}, {State::unloading, State::unloaded}}));
}

TEST_F(ModelManagerTest, LoaderFailuresReturnToUnloadedAndPassThroughUnchanged) {
    manager.loadModels();
    manager.unloadModels();
    loader->failResolve = true;
    EXPECT_THROW(manager.downloadModels(), LoaderFailure);
    EXPECT_EQ(manager.modelState(), State::unloaded);
    EXPECT_EQ(manager.modelPath(), std::filesystem::path("/models/resolved")); // kept from before
    EXPECT_TRUE(logged("[ModelManager] Failed to download models: hub unreachable"));

    // A failing resolve ends load and prewarm before the loader is asked to load.
    EXPECT_THROW(manager.loadModels(), LoaderFailure);
    EXPECT_THROW(manager.prewarmModels(), LoaderFailure);
    EXPECT_EQ(loader->count("load"), 1);

    loader->failResolve = false;
    loader->failLoad = true;
    EXPECT_THROW(manager.loadModels(), LoaderFailure);
    EXPECT_EQ(manager.modelState(), State::unloaded);
    EXPECT_TRUE(logged("[ModelManager] Failed to load models: weights missing"));
    EXPECT_THROW(manager.prewarmModels(), LoaderFailure);
    EXPECT_EQ(manager.modelState(), State::unloaded);
    EXPECT_TRUE(logged("[ModelManager] Failed to prewarm models: weights missing"));
    auto all = seen();
    EXPECT_EQ(all.back(), (Transition{State::prewarming, State::unloaded}));
}

TEST_F(ModelManagerTest, OverlappingDirectCallsSeeTheIntermediateState) {
    Gate resolving;
    loader->resolveGate = &resolving;
    std::thread downloader([&] { manager.downloadModels(); });
    resolving.waitForArrival();
    // Still downloading, and no folder known yet: the path is settled before the state is looked at.
    EXPECT_EQ(invalidConfigurationMessage([&] { manager.loadModels(); }),
              "No model path available. Call downloadModels() first, or provide modelFolder.");
    EXPECT_EQ(manager.modelState(), State::downloading);
    resolving.open();
    downloader.join();
    loader->resolveGate = nullptr;

    Gate loading;
    loader->loadGate = &loading;
    std::thread first([&] { manager.loadModels(); });
    loading.waitForArrival();
    EXPECT_EQ(invalidConfigurationMessage([&] { manager.loadModels(); }), "Cannot load in state: Loading");
    EXPECT_EQ(invalidConfigurationMessage([&] { manager.prewarmModels(); }),
              "Cannot prewarm in state: Loading");
    loading.open();
    first.join();
    EXPECT_EQ(manager.modelState(), State::loaded);
}

// Two callers of ensureModelsLoaded(): the first gets the run held up at `gate`, the second arrives while
// it is held and is waiting before the gate opens. Returns what each caller saw.
std::vector<std::string> twoEnsureCallers(ModelManager& manager, Gate& gate) {
    std::mutex outcomeMutex;
    std::vector<std::string> outcomes;
    auto caller = [&](std::atomic<pid_t>* threadId) {
        if (threadId) {
            *threadId = static_cast<pid_t>(::syscall(SYS_gettid));
        }
        std::string outcome = "loaded";
        try {
            manager.ensureModelsLoaded();
        } catch (const std::exception& error) {
            outcome = error.what();
        }
        std::lock_guard lock(outcomeMutex);
        outcomes.push_back(outcome);
    };
    std::thread first(caller, nullptr);
    gate.waitForArrival();
    std::atomic<pid_t> secondThread{0};
    std::thread second(caller, &secondThread);
    while (secondThread == 0) {
        std::this_thread::yield();
    }
    waitUntilSettledAsleep(secondThread);
    gate.open();
    first.join();
    second.join();
    return outcomes;
}

TEST_F(ModelManagerTest, ConcurrentEnsureCallsShareOneRunAndItsOutcome) {
    Gate resolving;
    loader->resolveGate = &resolving;
    loader->failResolve = true;
    EXPECT_EQ(twoEnsureCallers(manager, resolving),
              (std::vector<std::string>{"hub unreachable", "hub unreachable"}));
    EXPECT_EQ(loader->count("resolve"), 1);
    EXPECT_EQ(manager.modelState(), State::unloaded);

    // The failed run is over: the next call starts a fresh one.
    loader->failResolve = false;
    loader->resolveGate = nullptr;
    Gate loading;
    loader->loadGate = &loading;
    EXPECT_EQ(twoEnsureCallers(manager, loading), (std::vector<std::string>{"loaded", "loaded"}));
    EXPECT_EQ(loader->count("resolve"), 2);
    EXPECT_EQ(loader->count("load"), 1);
    EXPECT_TRUE(manager.isLoaded());

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
