#include "Platform/Desktop/HotKeys/X11HotKeyGrab.h"
#include "ShellTestSupport.h"
#include "Support/Desktop/TestDisplay.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "Velmora/Application/QtMainThreadDispatcher.h"
#include "Velmora/HotKeys/HotKeyManager.h"
#include "XTestKeyboard.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace velmora::app;
using desktop::X11HotKeyGrab;
using testsupport::TemporaryDirectory;

namespace {

class HotKeyTest : public testsupport::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        keyboard_ = std::make_unique<shelltest::XTestKeyboard>(displayName());
        ASSERT_TRUE(keyboard_->isOpen());
    }

    /// Another client's grab of the same shortcut; whether it got it tells whether ours is free.
    std::unique_ptr<X11HotKeyGrab> competitor(std::atomic<int>* presses = nullptr) {
        return std::make_unique<X11HotKeyGrab>(
            "r", X11HotKeyGrab::Modifier::control | X11HotKeyGrab::Modifier::alt,
            [presses] {
                if (presses != nullptr) {
                    ++*presses;
                }
            },
            displayName());
    }

    QtMainThreadDispatcher mainThread_;
    std::unique_ptr<shelltest::XTestKeyboard> keyboard_;
};

} // namespace

TEST_F(HotKeyTest, EachPressCallsTheTriggerOnTheMainThreadWhateverTheLocksUntilTheManagerIsGone) {
    int triggers = 0;
    bool onMainThread = true;
    auto manager = std::make_unique<HotKeyManager>(
        mainThread_,
        [&] {
            ++triggers;
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        },
        displayName());
    ASSERT_TRUE(manager->isRegistered());
    EXPECT_FALSE(competitor()->isActive()) << "the shortcut is ours while the manager lives";

    keyboard_->pressHotKey();
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return triggers == 1; }));
    keyboard_->press({"Control_L", "Alt_L", "t"}); // another key with the same modifiers is not ours

    for (const char* lock : {"Caps_Lock", "Num_Lock"}) {
        keyboard_->press({lock});
        keyboard_->pressHotKey();
        keyboard_->press({lock}); // off again
    }
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return triggers == 3; }));
    EXPECT_TRUE(onMainThread);

    manager.reset();
    EXPECT_TRUE(competitor()->isActive()) << "destroying the manager gives the shortcut up";
    EXPECT_EQ(triggers, 3);
}

TEST_F(HotKeyTest, AShortcutAnotherClientHoldsLeavesAManagerWithoutShortcutAndTheProcessRunning) {
    std::atomic<int> theirs = 0;
    auto other = competitor(&theirs);
    ASSERT_TRUE(other->isActive());

    int ours = 0;
    HotKeyManager manager(mainThread_, [&] { ++ours; }, displayName());
    EXPECT_FALSE(manager.isRegistered());

    keyboard_->pressHotKey();
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return theirs == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ours, 0) << "a key goes to the one client that holds it";
}

TEST(HotKeyManager, WithoutAnXDisplayThereIsNoShortcutAndNothingFails) {
    QtMainThreadDispatcher mainThread;
    HotKeyManager manager(mainThread, [] {}, ":4242");
    EXPECT_FALSE(manager.isRegistered());
}

// An X server that goes away (an XWayland that ends) leaves the application running without shortcut.
TEST(HotKeyManager, AnXServerThatGoesAwayDoesNotEndTheProcess) {
    if (testsupport::runCommand("command -v Xvfb >/dev/null") != 0) {
        ASSERT_FALSE(testsupport::runningUnderCI()) << "Xvfb is missing";
        GTEST_SKIP() << "no Xvfb";
    }
    TemporaryDirectory folder;
    std::string pid;
    const std::string displayFile = (folder / "display").string();
    ASSERT_EQ(testsupport::runCommand("Xvfb -displayfd 3 -nolisten tcp 3>" + testsupport::shellQuoted(displayFile) +
                                          " </dev/null >/dev/null 2>&1 & echo $!",
                                      &pid),
              0);
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return !testsupport::readFile(displayFile).empty(); }));
    std::string number = testsupport::readFile(displayFile);
    number.erase(number.find_last_not_of("\n") + 1);
    pid.erase(pid.find_last_not_of("\n") + 1);

    QtMainThreadDispatcher mainThread;
    auto manager = std::make_unique<HotKeyManager>(mainThread, [] {}, ":" + number);
    EXPECT_TRUE(manager->isRegistered());
    // Gone once its socket is: it closes its connections before it removes that. Waited for 20 s at most.
    ASSERT_EQ(testsupport::runCommand("kill " + pid + " && for i in $(seq 400); do [ -e /tmp/.X11-unix/X" +
                                      number + " ] || exit 0; sleep 0.05; done; exit 1"),
              0)
        << "the X server did not go away";
    manager.reset(); // talks to the server that is gone
    SUCCEED() << "still running";
}
