#include "OrvaneCore/Concurrency/EarlyStopActor.h"
#include "OrvaneCore/Concurrency/PropertyLock.h"
#include "OrvaneCore/Concurrency/Protected.h"
#include "OrvaneCore/Concurrency/UnfairLock.h"
#include "OrvaneCore/Concurrency/WeakSendableWrapper.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orvane;

namespace {

constexpr int kThreads = 8;
constexpr int kAppendsPerThread = 2000;

template <class Body> void runOnThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&body, t] { body(t); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

struct PlainRecord {
    std::string text;
    std::vector<int> tokens;
};
struct WrappedRecord {
    PropertyLock<std::string> text;
    PropertyLock<std::vector<int>> tokens;
};
void to_json(nlohmann::json& json, const PlainRecord& r) {
    json = {{"text", r.text}, {"tokens", r.tokens}};
}
void to_json(nlohmann::json& json, const WrappedRecord& r) {
    json = {{"text", r.text}, {"tokens", r.tokens}};
}

} // namespace

TEST(UnfairLock, ThrowingBodyReleasesTheLockAndResultsPassThrough) {
    UnfairLock lock;
    EXPECT_THROW(lock.withLock([]() -> int { throw std::runtime_error("boom"); }), std::runtime_error);
    EXPECT_EQ(lock.withLock([] { return 42; }), 42);
    std::thread other([&] { EXPECT_EQ(lock.withLock([] { return std::string("free"); }), "free"); });
    other.join();
}

TEST(UnfairLock, TakingItAgainOnTheSameThreadFailsLoudly) {
    UnfairLock lock;
    EXPECT_THROW(lock.withLock([&] { lock.withLock([] {}); }), std::logic_error);
    EXPECT_NO_THROW(lock.withLock([] {}));
}

TEST(PropertyLock, ModifyNeverLosesConcurrentAppends) {
    PropertyLock<std::vector<int>> segments;
    runOnThreads([&](int t) {
        for (int i = 0; i < kAppendsPerThread; ++i) {
            segments.modify([&](std::vector<int>& v) { v.push_back(t); });
        }
    });
    auto all = segments.get();
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kAppendsPerThread));
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(std::count(all.begin(), all.end(), t), kAppendsPerThread);
    }
}

TEST(PropertyLock, CopiesHoldIndependentValues) {
    PropertyLock<std::string> original(std::string("abc"));
    PropertyLock<std::string> copy = original;
    copy.set("changed");
    EXPECT_EQ(original.get(), "abc");
    EXPECT_EQ(copy.get(), "changed");
}

TEST(PropertyLock, ModifyThatTouchesTheSameWrapperFailsInsteadOfDeadlocking) {
    PropertyLock<int> value(1);
    EXPECT_THROW(value.modify([&](int&) { return value.get(); }), std::logic_error);
    EXPECT_EQ(value.modify([](int& v) { return ++v; }), 2);
    EXPECT_EQ(value.get(), 2);
}

TEST(PropertyLock, EncodesAndDecodesLikeThePlainValue) {
    WrappedRecord wrapped;
    wrapped.text.set("abc");
    wrapped.tokens.set({1, 2});
    nlohmann::json encoded = wrapped;
    EXPECT_EQ(encoded.dump(), nlohmann::json(PlainRecord{"abc", {1, 2}}).dump());
    EXPECT_EQ(encoded.dump(), R"({"text":"abc","tokens":[1,2]})");

    auto decoded = nlohmann::json("abc").get<PropertyLock<std::string>>();
    EXPECT_EQ(decoded.get(), "abc");
}

TEST(Protected, CopiesShareOneValueAndDefaultOptionalIsEmpty) {
    Protected<std::optional<int>> model;
    EXPECT_EQ(model.get(), std::nullopt);
    Protected<std::optional<int>> copy = model;
    copy.set(7);
    EXPECT_EQ(model.get(), 7);
    model.set(std::nullopt);
    EXPECT_EQ(copy.get(), std::nullopt);
}

TEST(Protected, ModifyNeverLosesConcurrentUpdatesAcrossCopies) {
    Protected<long> counter(0L);
    runOnThreads([copy = counter](int) mutable {
        for (int i = 0; i < kAppendsPerThread; ++i) {
            copy.modify([](long& v) { ++v; });
        }
    });
    EXPECT_EQ(counter.get(), static_cast<long>(kThreads) * kAppendsPerThread);
}

TEST(WeakSendableWrapper, DoesNotKeepTheObjectAlive) {
    auto object = std::make_shared<std::string>("engine");
    WeakSendableWrapper<std::string> wrapper(object);
    ASSERT_TRUE(wrapper.value());
    EXPECT_EQ(*wrapper.value(), "engine");
    object.reset();
    EXPECT_EQ(wrapper.value(), nullptr);

    auto replacement = std::make_shared<std::string>("processor");
    wrapper.setValue(replacement);
    EXPECT_EQ(wrapper.value(), replacement);
    EXPECT_EQ(WeakSendableWrapper<std::string>().value(), nullptr);
}

TEST(EarlyStopActor, FlagsPerRun) {
    EarlyStopActor actor;
    Uuid neverSet;
    EXPECT_FALSE(actor.get(neverSet));
    EXPECT_EQ(actor.remove(neverSet), std::nullopt);

    Uuid run;
    Uuid other;
    actor.set(false, run);
    actor.set(true, other);
    EXPECT_FALSE(actor.get(run));
    actor.set(true, run);
    EXPECT_TRUE(actor.get(run));
    EXPECT_EQ(actor.remove(run), true);
    EXPECT_FALSE(actor.get(run));
    EXPECT_EQ(actor.remove(run), std::nullopt);
    EXPECT_TRUE(actor.get(other));
}
