#include "Support/Network/FeedServer.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Updates/CheckForUpdatesViewModel.h"
#include "VelmoraCore/Updates/GentleUpdateDelegate.h"
#include "VelmoraCore/Updates/Updater.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace std::chrono_literals;

namespace {

std::string describe(const std::optional<desktop::UpdateItem>& update) {
    return update ? update->version().text() : "none";
}

// Answers as the application's delegate does, noting each question, its answer and what the store held
// at that moment.
class RecordingDelegate final : public UpdateUserDriverDelegate {
public:
    explicit RecordingDelegate(GentleUpdateDelegate& gentle) : gentle_(gentle) {}

    bool supportsGentleScheduledUpdateReminders() override {
        return note("supportsGentle", gentle_.supportsGentleScheduledUpdateReminders());
    }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const desktop::UpdateItem& update,
                                                              bool focus) override {
        return note("shouldHandle " + update.version().text() + " focus " + std::to_string(focus),
                    gentle_.standardUserDriverShouldHandleShowingScheduledUpdate(update, focus));
    }
    void standardUserDriverWillHandleShowingUpdate(bool handle, const desktop::UpdateItem& update,
                                                   const UserUpdateState& state) override {
        gentle_.standardUserDriverWillHandleShowingUpdate(handle, update, state);
        note("willHandle " + std::to_string(handle) + " " + update.version().text() + " user " +
             std::to_string(state.userInitiated));
    }
    void standardUserDriverDidReceiveUserAttentionForUpdate(const desktop::UpdateItem& update) override {
        gentle_.standardUserDriverDidReceiveUserAttentionForUpdate(update);
        note("attention " + update.version().text());
    }

    std::vector<std::string> calls;

private:
    bool note(const std::string& call, std::optional<bool> answer = std::nullopt) {
        calls.push_back(call + (answer ? " -> " + std::to_string(*answer) : "") + " store " +
                        describe(gentle_.store()->pendingUpdate().value()));
        return answer.value_or(false);
    }

    GentleUpdateDelegate& gentle_;
};

class RecordingPresenter final : public UpdatePresenter {
public:
    void show(const UpdateNotice& notice) override { shown.push_back(notice); }
    std::vector<UpdateNotice> shown;
};

class UpdaterTest : public testing::Test {
protected:
    void SetUp() override {
        server.offer({"0.9", "1.0"});
        makeUpdater(server.url());
    }

    // Without `askingFocus` the updater has no way to learn about focus.
    void makeUpdater(std::optional<std::string> feed, bool askingFocus = true) {
        updater.reset();
        std::function<bool()> focus;
        if (askingFocus) {
            focus = [this] { return focused; };
        }
        updater = std::make_unique<Updater>(
            loop,
            Updater::Configuration{std::move(feed), *desktop::UpdateVersion::parse("1.0"), focus,
                                   [this](const std::string& text) { logged.push_back(text); }},
            driver);
    }

    // Runs the main loop until the check in flight has ended, then the writes it posted.
    void finishCheck() {
        ASSERT_FALSE(updater->canCheckForUpdates().value()) << "no check is running";
        const auto id = updater->canCheckForUpdates().subscribe([this](const bool& can) {
            if (can) {
                loop.quit();
            }
        });
        loop.run();
        updater->canCheckForUpdates().unsubscribe(id);
        loop.runUntilIdle();
    }

    std::vector<std::string> takeCalls() { return std::exchange(delegate.calls, {}); }

    PlainMainLoop loop{PlainMainLoop::Clock::manual};
    testsupport::FeedServer server;
    std::shared_ptr<UpdateAvailabilityStore> store = std::make_shared<UpdateAvailabilityStore>();
    GentleUpdateDelegate gentle{store, loop};
    RecordingDelegate delegate{gentle};
    RecordingPresenter presenter;
    StandardUserDriver driver{delegate, presenter};
    bool focused = false;
    std::vector<std::string> logged;
    std::unique_ptr<Updater> updater;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(UpdaterTest, ABackgroundFindGoesToTheStoreAfterTheCallbackAndShowsNothing) {
    updater->start();
    server.offer({"1.0", "1.2"});
    updater->checkForUpdatesInBackground();
    finishCheck();
    EXPECT_EQ(takeCalls(),
              (Strings{"supportsGentle -> 1 store none", "shouldHandle 1.2 focus 0 -> 0 store none",
                       "willHandle 0 1.2 user 0 store none"}));
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(describe(store->pendingUpdate().value()), "1.2");

    // Two finds in a row: the later one replaces the first.
    server.offer({"1.2", "1.3"});
    updater->checkForUpdatesInBackground();
    finishCheck();
    EXPECT_EQ(describe(store->pendingUpdate().value()), "1.3");
    EXPECT_TRUE(presenter.shown.empty());

    // The banner's install button asks for a check: the window shows it, and that clears the record.
    updater->checkForUpdates();
    finishCheck();
    EXPECT_EQ(takeCalls(),
              (Strings{"supportsGentle -> 1 store 1.2", "shouldHandle 1.3 focus 0 -> 0 store 1.2",
                       "willHandle 0 1.3 user 0 store 1.2", "willHandle 1 1.3 user 1 store 1.3",
                       "attention 1.3 store 1.3"}));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].kind, UpdateNotice::Kind::updateAvailable);
    EXPECT_EQ(presenter.shown[0].message, "新しいバージョン 1.3 が利用可能です");
    EXPECT_EQ(presenter.shown[0].buttons(), (Strings{"インストール…", "後で"}));
    EXPECT_EQ(presenter.shown[0].update->url(), "https://example.com/1.3");
    EXPECT_FALSE(store->pendingUpdate().value());
}

TEST_F(UpdaterTest, AFindWhileAWindowIsActiveIsShownAtOnceAndNotRecorded) {
    focused = true;
    updater->start();
    server.answer(
        200, "<updates><item version=\"2.0.1\" displayVersion=\"2.0 (1)\" url=\"https://example.com/2\"/>"
             "</updates>");
    updater->checkForUpdatesInBackground();
    finishCheck();
    EXPECT_EQ(takeCalls(),
              (Strings{"supportsGentle -> 1 store none", "shouldHandle 2.0.1 focus 1 -> 1 store none",
                       "willHandle 1 2.0.1 user 0 store none", "attention 2.0.1 store none"}));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].message, "新しいバージョン 2.0 (1) が利用可能です");
    EXPECT_FALSE(store->pendingUpdate().value());
}

TEST_F(UpdaterTest, OnlyACheckTheUserAskedForReportsNothingNewAndFailures) {
    updater->start();
    updater->checkForUpdatesInBackground();
    finishCheck();
    server.answer(500, "<updates><item version=\"9\" url=\"https://example.com/9\"/></updates>");
    updater->checkForUpdatesInBackground();
    finishCheck();
    server.answer(200, "<updates><item version=\"9\" url=\"http://example.com/9\"/></updates>");
    updater->checkForUpdatesInBackground();
    finishCheck();
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_FALSE(store->pendingUpdate().value());
    EXPECT_EQ(logged, (Strings{"scheduled update check failed: フィードを取得できません（HTTP 500）",
                               "scheduled update check failed: フィードの項目のアドレスは開けません: "
                               "\"http://example.com/9\""}));

    server.offer({"0.9", "1.0"});
    updater->checkForUpdates();
    finishCheck();
    server.answer(200, "this is not a feed");
    updater->checkForUpdates();
    finishCheck();
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].message, "最新のバージョンを使用しています。");
    EXPECT_EQ(presenter.shown[0].buttons(), Strings{"OK"});
    EXPECT_EQ(presenter.shown[1].kind, UpdateNotice::Kind::checkFailed);
    EXPECT_EQ(presenter.shown[1].message.rfind(
                  "アップデートを確認できませんでした: フィードをXMLとして読めません", 0),
              0u)
        << presenter.shown[1].message;
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(UpdaterTest, NoSecondCheckStartsWhileTheFirstAwaitsItsAnswer) {
    std::vector<bool> flag;
    updater->canCheckForUpdates().subscribe([&](const bool& can) { flag.push_back(can); });
    updater->checkForUpdates(); // before start: ignored
    EXPECT_FALSE(updater->canCheckForUpdates().value());
    updater->start();

    server.hold();
    updater->checkForUpdates();
    server.waitForRequests(1);
    loop.runUntilIdle();
    EXPECT_FALSE(updater->canCheckForUpdates().value());
    updater->checkForUpdates();
    updater->checkForUpdatesInBackground();
    {
        CheckForUpdatesViewModel model(*updater);
        EXPECT_FALSE(model.canCheckForUpdates().value());
        server.release();
        finishCheck();
        EXPECT_TRUE(model.canCheckForUpdates().value());
    }
    EXPECT_EQ(updater->canCheckForUpdates().subscriberCount(), 1u); // the model stopped listening
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(flag, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(presenter.shown.size(), 1u);
}

TEST_F(UpdaterTest, ChecksOneMinuteAfterStartThenEveryDay) {
    makeUpdater(server.url(), false); // then never in focus
    updater->start();
    server.offer({"1.0", "1.1"});
    loop.advanceTime(59s);
    EXPECT_TRUE(updater->canCheckForUpdates().value());
    loop.advanceTime(1s);
    finishCheck();
    EXPECT_EQ(describe(store->pendingUpdate().value()), "1.1"); // a background check, so gentle

    server.offer({"1.0", "1.1", "1.5"});
    loop.advanceTime(24h - 1s);
    EXPECT_EQ(server.requestCount(), 1);
    loop.advanceTime(1s);
    finishCheck();
    EXPECT_EQ(describe(store->pendingUpdate().value()), "1.5");
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(UpdaterTest, WithoutATrustedFeedThereAreNoChecks) {
    for (std::optional<std::string> feed :
         {std::optional<std::string>(), std::optional<std::string>("ftp://x/y")}) {
        makeUpdater(feed);
        updater->start();
        updater->checkForUpdates();
        loop.advanceTime(48h);
        EXPECT_FALSE(updater->canCheckForUpdates().value());
    }
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(logged.size(), 1u); // the refused address
}

TEST_F(UpdaterTest, AnUpdaterGoneDuringACheckShowsNothingLater) {
    updater->start();
    server.offer({"1.0", "3.0"});
    server.hold();
    updater->checkForUpdates();
    server.waitForRequests(1);
    updater.reset(); // cancels the exchange and waits for its thread
    server.release();
    loop.runUntilIdle();
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(delegate.calls.empty());
}
