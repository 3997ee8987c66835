#include "FakeNotificationService.h"
#include "Platform/Desktop/Notifications/FreedesktopNotificationCenter.h"
#include "Support/Desktop/SessionBusTest.h"

#include <future>
#include <gtest/gtest.h>

namespace {

using desktop::FreedesktopNotificationCenter;

class NotificationCenterTest : public testsupport::SessionBusTest {
protected:
    static bool authorised(FreedesktopNotificationCenter& center) {
        std::promise<bool> answer;
        center.requestAuthorization([&](bool granted) { answer.set_value(granted); });
        return answer.get_future().get();
    }
};

} // namespace

TEST_F(NotificationCenterTest, AuthorisedExactlyWhenAServiceAnswersOnTheBus) {
    FreedesktopNotificationCenter center("velmora-tests");
    EXPECT_FALSE(authorised(center)) << "nobody owns the name on the test bus";
    {
        testsupport::FakeNotificationService service(busAddress());
        ASSERT_TRUE(service.owns());
        EXPECT_TRUE(authorised(center));
    }
    EXPECT_FALSE(authorised(center)) << "the service went away";
}

TEST_F(NotificationCenterTest, NotifyCarriesTheTitleTheBodyAndTheDefaultSound) {
    testsupport::FakeNotificationService service(busAddress());
    ASSERT_TRUE(service.owns());
    FreedesktopNotificationCenter center("ベルモラ");
    center.add({"ベルモラ", "ログインしました。", true});
    center.add({"quiet", "no sound", false});
    center.waitUntilIdle();

    const auto calls = service.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].applicationName, "ベルモラ");
    EXPECT_EQ(calls[0].summary, "ベルモラ");
    EXPECT_EQ(calls[0].body, "ログインしました。");
    EXPECT_EQ(calls[0].hints, (std::map<std::string, std::string>{{"sound-name", "message-new-instant"}}));
    EXPECT_EQ(calls[1].summary, "quiet");
    EXPECT_TRUE(calls[1].hints.empty());
}

TEST_F(NotificationCenterTest, QueuedNotificationsAreSentBeforeTheCenterGoesAway) {
    testsupport::FakeNotificationService service(busAddress());
    ASSERT_TRUE(service.owns());
    {
        FreedesktopNotificationCenter center("velmora-tests");
        for (int i = 0; i < 3; ++i) {
            center.add({"n" + std::to_string(i), "", true});
        }
    }
    const auto calls = service.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].summary, "n2");
}

TEST(NotificationCenter, WithoutAnyBusAlertsAreRefusedAndNothingFails) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A child process, so the bus connection GIO keeps per process is made with the broken address.
    EXPECT_EXIT(
        {
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus", 1);
            FreedesktopNotificationCenter center("velmora-tests");
            std::promise<bool> answer;
            center.requestAuthorization([&](bool granted) { answer.set_value(granted); });
            center.add({"t", "b", true});
            center.waitUntilIdle();
            std::exit(answer.get_future().get() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}
