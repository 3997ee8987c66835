#include "FakeSpeechEngine.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/ModelSetup/ModelSetupGate.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using transcriptiontest::FakeSpeechEngine;
using velmora::ModelSetupGate;
using Phase = velmora::ModelSetupPhase;
using Phases = std::vector<Phase>;

namespace {

class ModelSetupGateTest : public ::testing::Test {
protected:
    ModelSetupGateTest() {
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
        settings.setModelName("tiny");
    }

    // Every phase the gate publishes goes into `phases`.
    void record(const ModelSetupGate& gate) {
        gate.phase().subscribe([this](const Phase& phase) {
            phases.push_back(phase);
            if (done && done()) {
                mainLoop.quit();
            }
        });
    }

    // Runs the main loop until `until` holds after a published phase.
    void runUntil(std::function<bool()> until) {
        if (until()) {
            return;
        }
        done = std::move(until);
        mainLoop.run();
        done = nullptr;
    }

    std::size_t count(const Phase& phase) const {
        return static_cast<std::size_t>(std::ranges::count(phases, phase));
    }

    std::optional<std::string> storedName() const {
        return defaults->string(ModelSetupGate::completedModelNameKey);
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    velmora::PlainMainLoop mainLoop{velmora::PlainMainLoop::Clock::manual};
    std::shared_ptr<FakeSpeechEngine> engine = std::make_shared<FakeSpeechEngine>();
    velmora::TranscriberStore store{velmora::EngineAccess{engine}};
    std::shared_ptr<velmora::DefaultsStore> defaults = std::make_shared<velmora::DefaultsStore>();
    velmora::AppSettings settings{defaults};
    Phases phases;
    std::function<bool()> done;
};

} // namespace

TEST_F(ModelSetupGateTest, ASetUpDoneForExactlyTheSelectedModelIsReadyAtOnce) {
    defaults->setString(ModelSetupGate::completedModelNameKey, "tiny");
    ModelSetupGate ready(settings, defaults, mainLoop, store);
    EXPECT_TRUE(ready.isReady());
    ready.startIfNeeded();
    EXPECT_EQ(mainLoop.runUntilIdle(), 0u);
    EXPECT_TRUE(engine->downloads().empty());

    // A name differing only in letter case does not count.
    defaults->setString(ModelSetupGate::completedModelNameKey, "Tiny");
    ModelSetupGate again(settings, defaults, mainLoop, store);
    EXPECT_EQ(again.phase().value(), Phase::notStarted());
    EXPECT_FALSE(again.isReady());
}

TEST_F(ModelSetupGateTest, ARunShowsTheDownloadThenThePreparationAndRemembersTheModel) {
    ModelSetupGate gate(settings, defaults, mainLoop, store);
    record(gate);
    gate.startIfNeeded();
    EXPECT_EQ(gate.phase().value(), Phase::notStarted()); // changes only once the run begins
    runUntil([&] { return gate.isReady(); });
    EXPECT_EQ(phases, (Phases{Phase::downloading(0), Phase::downloading(0.5), Phase::downloading(1.0),
                              Phase::optimizing(), Phase::ready()}));
    EXPECT_EQ(storedName(), "tiny");
    EXPECT_TRUE(store.isLoaded("tiny"));

    // The store keeps the model: a later gate's run goes from downloading(0) straight to ready.
    defaults->remove(ModelSetupGate::completedModelNameKey);
    ModelSetupGate later(settings, defaults, mainLoop, store);
    phases.clear();
    record(later);
    later.startIfNeeded();
    runUntil([&] { return later.isReady(); });
    EXPECT_EQ(phases, (Phases{Phase::downloading(0), Phase::ready()}));
}

TEST_F(ModelSetupGateTest, AFailureShowsTheErrorsTextualFormAndStoresNothingUntilARetrySucceeds) {
    defaults->setString(ModelSetupGate::completedModelNameKey, "an earlier model");
    engine->downloadFailures = {
        std::make_exception_ptr(std::runtime_error("offline")),
        std::make_exception_ptr(sonavex::WhisperError::modelsUnavailable("scripted \"x\""))};
    ModelSetupGate gate(settings, defaults, mainLoop, store);
    record(gate);
    gate.startIfNeeded();
    runUntil([&] { return gate.phase().value().kind == Phase::Kind::failed; });
    EXPECT_EQ(gate.phase().value(), Phase::failed("modelsUnavailable(\"scripted \\\"x\\\"\")"));
    EXPECT_EQ(storedName(), "an earlier model");

    gate.startIfNeeded(); // only notStarted starts a run
    EXPECT_EQ(mainLoop.runUntilIdle(), 0u);
    phases.clear();
    gate.retry();
    runUntil([&] { return gate.isReady(); });
    EXPECT_EQ(phases.front(), Phase::notStarted());
    EXPECT_EQ(phases.back(), Phase::ready());
    EXPECT_EQ(storedName(), "tiny");
}

TEST_F(ModelSetupGateTest, StartsInOneTurnAndRetriesDuringARunEachStartARunOfTheirOwn) {
    ModelSetupGate gate(settings, defaults, mainLoop, store);
    record(gate);
    engine->hold();
    gate.startIfNeeded();
    gate.startIfNeeded();
    runUntil([&] { return count(Phase::downloading(0.5)) == 1; });
    EXPECT_EQ(count(Phase::downloading(0)), 2u);

    gate.retry();
    runUntil([&] { return count(Phase::downloading(0)) == 3; });
    engine->release();
    runUntil([&] { return count(Phase::ready()) == 3; });
    EXPECT_EQ(engine->downloads().size(), 1u); // the runs share the store's one load
    EXPECT_EQ(phases.back(), Phase::ready());
}

TEST_F(ModelSetupGateTest, ReleasingTheGateDuringADownloadDropsWhatComesLater) {
    auto gate = std::make_unique<ModelSetupGate>(settings, defaults, mainLoop, store);
    record(*gate);
    engine->hold();
    gate->startIfNeeded();
    runUntil([&] { return count(Phase::downloading(0.5)) == 1; });
    // Another caller waits for the same load, so it goes on without the gate. Once that caller hears a
    // report, so has the gate: those reports are posted and not yet run.
    std::atomic<bool> joined = false;
    auto session = std::async(std::launch::async, [&] {
        return store.prepareForOnboarding(
            "tiny", [&](const velmora::TranscriberPreparationProgress&) { joined = true; });
    });
    while (!joined) {
        engine->pulse();
        std::this_thread::yield();
    }
    gate.reset();
    engine->release();
    EXPECT_NE(session.get(), nullptr);
    EXPECT_EQ(engine->stoppedDownloads(), 0u);
    EXPECT_GT(mainLoop.runUntilIdle(), 0u); // the reports and the outcome posted for the gate find it gone
    EXPECT_EQ(phases.back(), Phase::downloading(0.5));
    EXPECT_FALSE(storedName());
    EXPECT_TRUE(store.isLoaded("tiny"));
}
