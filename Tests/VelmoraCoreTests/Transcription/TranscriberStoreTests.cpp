#include "FakeSpeechEngine.h"
#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/Transcription/TranscriberStore.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using transcriptiontest::FakeSpeechEngine;
using velmora::Transcriber;
using velmora::TranscriberPreparationProgress;
using velmora::TranscriberStore;

namespace {

class TranscriberStoreTest : public ::testing::Test {
protected:
    TranscriberStoreTest() {
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
    }

    std::size_t loadsOf(const std::string& name) const {
        std::size_t count = 0;
        for (const auto& download : engine->downloads()) {
            count += download.variant == name ? 1 : 0;
        }
        return count;
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    std::shared_ptr<FakeSpeechEngine> engine = std::make_shared<FakeSpeechEngine>();
    TranscriberStore store{velmora::EngineAccess{engine}};
};

} // namespace

TEST_F(TranscriberStoreTest, OneNameIsLoadedOnceAndKeptUntilAnotherNameOrEvictionReplacesIt) {
    auto first = store.transcriber("tiny");
    EXPECT_TRUE(store.isLoaded("tiny"));
    EXPECT_FALSE(store.isLoaded("Tiny"));
    EXPECT_EQ(store.preload("tiny"), first);
    // A kept transcriber is handed back without a single progress report.
    std::vector<TranscriberPreparationProgress> reports;
    EXPECT_EQ(store.prepareForOnboarding("tiny", [&](const auto& progress) { reports.push_back(progress); }),
              first);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(loadsOf("tiny"), 1u);

    // Another name: the store lets go of the kept one before loading, and a failed load leaves it empty.
    const std::weak_ptr<Transcriber> released = first;
    engine->downloadFailures = {std::make_exception_ptr(std::runtime_error("offline")),
                                std::make_exception_ptr(std::runtime_error("offline"))};
    first.reset();
    EXPECT_THROW(store.transcriber("base"), std::runtime_error);
    EXPECT_TRUE(released.expired());
    EXPECT_FALSE(store.isLoaded("tiny"));
    EXPECT_FALSE(store.isLoaded("base"));

    // The next request loads from scratch; eviction forgets, and a caller's copy stays usable.
    const auto base = store.transcriber("base");
    EXPECT_TRUE(store.isLoaded("base"));
    store.evict();
    EXPECT_FALSE(store.isLoaded("base"));
    EXPECT_NE(store.transcriber("base"), base);
    EXPECT_EQ(loadsOf("base"), 4u); // two failed attempts, then two loads
}

TEST_F(TranscriberStoreTest, ConcurrentRequestsForOneNameShareOneLoadAndItsProgress) {
    engine->hold();
    auto session = std::async(std::launch::async, [&] { return store.preload("tiny"); });
    engine->waitUntilHeld(1);
    // The onboarding joins the running load: it hears that load's reports, then both get one transcriber.
    std::atomic<bool> joined = false;
    std::vector<TranscriberPreparationProgress> reports;
    auto onboarding = std::async(std::launch::async, [&] {
        return store.prepareForOnboarding("tiny", [&](const TranscriberPreparationProgress& progress) {
            if (!joined.exchange(true)) {
                engine->release();
            }
            reports.push_back(progress);
        });
    });
    while (!joined) {
        engine->pulse();
        std::this_thread::yield();
    }
    const auto shared = onboarding.get();
    EXPECT_EQ(session.get(), shared);
    EXPECT_EQ(loadsOf("tiny"), 1u);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.back(), TranscriberPreparationProgress::optimizing());
    EXPECT_TRUE(store.isLoaded("tiny"));
}

TEST_F(TranscriberStoreTest, CallersOfAFailingLoadShareItsError) {
    engine->hold();
    engine->constructFailures = {std::make_exception_ptr(sonavex::WhisperError::modelsUnavailable("one")),
                                 std::make_exception_ptr(sonavex::WhisperError::modelsUnavailable("two"))};
    auto first = std::async(std::launch::async, [&] { return store.transcriber("tiny"); });
    engine->waitUntilHeld(1);
    std::atomic<bool> joined = false;
    auto second = std::async(std::launch::async, [&] {
        return store.prepareForOnboarding("tiny", [&](const TranscriberPreparationProgress&) {
            if (!joined.exchange(true)) {
                engine->release();
            }
        });
    });
    while (!joined) {
        engine->pulse();
        std::this_thread::yield();
    }
    for (auto* caller : {&first, &second}) {
        try {
            caller->get();
            ADD_FAILURE() << "the load succeeded";
        } catch (const sonavex::WhisperError& error) {
            EXPECT_EQ(error.message(), "two");
        }
    }
    EXPECT_EQ(engine->constructions().size(), 2u); // one load with its one retry
    EXPECT_FALSE(store.isLoaded("tiny"));
}

TEST_F(TranscriberStoreTest, ACancelledCallerLeavesAtOnceAndTheLastOneToLeaveStopsTheLoad) {
    engine->hold();
    std::stop_source patient;
    std::stop_source impatient;
    auto stays =
        std::async(std::launch::async, [&] { return store.transcriber("tiny", patient.get_token()); });
    engine->waitUntilHeld(1);
    auto leaves =
        std::async(std::launch::async, [&] { return store.transcriber("tiny", impatient.get_token()); });
    impatient.request_stop();
    EXPECT_THROW(leaves.get(), orvane::CancellationError);
    // The other caller still waits, so the load goes on and is kept.
    engine->release();
    EXPECT_NE(stays.get(), nullptr);
    EXPECT_TRUE(store.isLoaded("tiny"));
    EXPECT_EQ(engine->stoppedDownloads(), 0u);

    engine->hold();
    auto alone =
        std::async(std::launch::async, [&] { return store.transcriber("base", impatient.get_token()); });
    EXPECT_THROW(alone.get(), orvane::CancellationError);
    engine->waitUntilStopped(1);
    // A later request starts afresh rather than joining the stopped load.
    engine->release();
    EXPECT_NE(store.transcriber("base"), nullptr);
    EXPECT_TRUE(store.isLoaded("base"));
}
