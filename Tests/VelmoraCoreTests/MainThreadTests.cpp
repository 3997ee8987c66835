#include "VelmoraCore/Observable.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace velmora;
using namespace std::chrono_literals;

TEST(Observable, TellsSubscribersAfterEveryWriteInSubscriptionOrder) {
    Observable<std::string> name("a");
    std::vector<std::string> heard;
    name.subscribe([&](const std::string& value) { heard.push_back("1:" + value); });
    const auto second = name.subscribe([&](const std::string& value) { heard.push_back("2:" + value); });
    name.set("b");
    name.set("b"); // the same value again is still announced
    name.unsubscribe(second);
    name.unsubscribe(second);
    name.set("c");
    EXPECT_EQ(heard, (std::vector<std::string>{"1:b", "2:b", "1:b", "2:b", "1:c"}));
    EXPECT_EQ(name.value(), "c");
}

TEST(Observable, SubscribersMayChangeTheListWhileBeingTold) {
    Observable<int> value(0);
    std::vector<std::string> heard;
    Observable<int>::SubscriptionId self = 0, later = 0;
    self = value.subscribe([&](int v) {
        heard.push_back("self " + std::to_string(v));
        value.unsubscribe(self);
        value.unsubscribe(later);                                                   // removes a later one
        value.subscribe([&](int w) { heard.push_back("new " + std::to_string(w)); }); // hears the next write
    });
    later = value.subscribe([&](int v) { heard.push_back("later " + std::to_string(v)); });
    value.set(1);
    value.set(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"self 1", "new 2"}));
    EXPECT_EQ(value.subscriberCount(), 1u);
}

TEST(PlainMainLoop, RunsPostedTasksInOrderOnTheMainThreadIncludingTasksPostedFromOtherThreads) {
    PlainMainLoop loop(PlainMainLoop::Clock::manual);
    std::vector<int> order;
    bool ranOnMain = true;
    loop.post([&] {
        order.push_back(1);
        loop.post([&] { order.push_back(3); }); // posted from a task: runs after those already queued
    });
    loop.post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()); // posting never runs a task at once
    EXPECT_EQ(loop.runUntilIdle(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    std::thread worker([&] {
        EXPECT_FALSE(loop.isMainThread());
        EXPECT_THROW(loop.scheduleRepeating(1ms, [] {}), std::logic_error);
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                ranOnMain = ranOnMain && loop.isMainThread();
                order.push_back(10 + i);
            });
        }
        loop.post([&] { loop.quit(); });
    });
    loop.run(); // returns once the worker's last task asks it to
    worker.join();
    ASSERT_EQ(order.size(), 103u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[3 + i], 10 + i);
    }
    EXPECT_TRUE(ranOnMain);
}

TEST(PlainMainLoop, RepeatingTimersTickAtEachDueTimeUntilCancelled) {
    PlainMainLoop loop(PlainMainLoop::Clock::manual);
    std::vector<std::string> ticks;
    auto fast = loop.scheduleRepeating(100ms, [&] { ticks.push_back("fast"); });
    auto slow = loop.scheduleRepeating(250ms, [&] { ticks.push_back("slow"); });
    loop.advanceTime(99ms);
    EXPECT_TRUE(ticks.empty());
    loop.advanceTime(201ms); // to 300 ms: fast at 100, 200, slow at 250, fast at 300
    EXPECT_EQ(ticks, (std::vector<std::string>{"fast", "fast", "slow", "fast"}));
    ticks.clear();
    fast->cancel();
    fast->cancel();
    loop.advanceTime(300ms); // slow at 500
    EXPECT_EQ(ticks, (std::vector<std::string>{"slow"}));
    slow.reset(); // destroying the handle cancels as well
    loop.advanceTime(1s);
    EXPECT_EQ(ticks.size(), 1u);
}

TEST(PlainMainLoop, ATickMayCancelItsOwnTimerAndTasksPostedByTicksRunBeforeTheNextTick) {
    PlainMainLoop loop(PlainMainLoop::Clock::manual);
    std::vector<std::string> events;
    std::unique_ptr<RepeatingTimer> timer;
    int count = 0;
    timer = loop.scheduleRepeating(10ms, [&] {
        events.push_back("tick");
        loop.post([&] { events.push_back("task"); });
        if (++count == 2) {
            timer->cancel();
        }
    });
    loop.advanceTime(100ms);
    EXPECT_EQ(events, (std::vector<std::string>{"tick", "task", "tick", "task"}));
    EXPECT_THROW(loop.scheduleRepeating(0ms, [] {}), std::invalid_argument);
}

TEST(PlainMainLoop, ATimerHandleMayOutliveItsLoop) {
    std::unique_ptr<RepeatingTimer> timer;
    {
        PlainMainLoop loop(PlainMainLoop::Clock::manual);
        timer = loop.scheduleRepeating(10ms, [] {});
    }
    timer->cancel();
    timer.reset();
}

TEST(PlainMainLoop, TheRealClockFiresTimersWhileRunning) {
    PlainMainLoop loop;
    int ticks = 0;
    auto timer = loop.scheduleRepeating(1ms, [&] {
        if (++ticks == 3) {
            loop.quit();
        }
    });
    loop.run();
    EXPECT_EQ(ticks, 3);
}
