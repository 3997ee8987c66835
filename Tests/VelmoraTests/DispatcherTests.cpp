#include "ShellTestSupport.h"
#include "Velmora/Application/QtMainThreadDispatcher.h"
#include "Velmora/Recording/RecordToggle.h"

#include <gtest/gtest.h>
#include <thread>

using namespace velmora::app;

TEST(QtMainThreadDispatcher, RunsPostedTasksLaterInOrderFromAnyThreadAndTimersUntilCancelled) {
    QtMainThreadDispatcher mainThread;
    EXPECT_TRUE(mainThread.isMainThread());
    std::vector<int> ran;
    mainThread.post([&] { ran.push_back(1); });
    EXPECT_TRUE(ran.empty()) << "never inside post()";
    std::thread([&] {
        EXPECT_FALSE(mainThread.isMainThread());
        for (int i = 2; i <= 4; ++i) {
            mainThread.post([&ran, i] { ran.push_back(i); });
        }
    }).join();
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return ran.size() == 4; }));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));

    // A timer that destroys its own handle in its third tick.
    int ticks = 0;
    std::unique_ptr<velmora::RepeatingTimer> timer;
    timer = mainThread.scheduleRepeating(std::chrono::milliseconds(1), [&] {
        if (++ticks == 3) {
            timer.reset();
        }
    });
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return timer == nullptr; }));
    bool later = false;
    mainThread.post([&] { later = true; });
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return later; }));
    EXPECT_EQ(ticks, 3);

    // Tasks still queued when the dispatcher goes are dropped.
    bool dropped = true;
    {
        QtMainThreadDispatcher gone;
        gone.post([&] { dropped = false; });
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(dropped);
}

TEST(RecordToggle, EachPressReadsThePhaseWhenItsTaskRunsAndAGoneSessionIsLeftAlone) {
    QtMainThreadDispatcher mainThread;
    auto session = std::make_shared<shelltest::FakeRecordingSession>();
    auto trigger = makeRecordToggleTrigger(session, mainThread);
    trigger();
    trigger(); // posted before the first ran: it sees the recording the first one started
    EXPECT_EQ(session->starts, 0) << "the toggle runs as a task of its own";
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return session->stops == 1; }));
    EXPECT_EQ(session->resets, 1);
    EXPECT_EQ(session->starts, 1);

    std::weak_ptr<shelltest::FakeRecordingSession> watch = session;
    trigger(); // a press whose session goes before its task runs
    session.reset();
    EXPECT_TRUE(watch.expired()) << "the trigger does not keep the session";
    QCoreApplication::processEvents();
    trigger();
}
