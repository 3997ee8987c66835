#include "Support/Network/FeedServer.h"
#include "Velmora/Updates/CheckForUpdatesView.h"
#include "Velmora/Updates/DialogUpdatePresenter.h"
#include "Velmora/Updates/UpdaterConfiguration.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Updates/GentleUpdateDelegate.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;

namespace {

class FakeBrowser final : public desktop::BrowserOpener {
public:
    bool open(const std::string& url) override {
        opened.push_back(url);
        return works;
    }
    std::vector<std::string> opened;
    bool works = true;
};

desktop::UpdateItem item(const std::string& version, const std::string& url) {
    return desktop::UpdateItem(*desktop::UpdateVersion::parse(version), version, url);
}

QString messageOf(const QWidget& dialog) {
    return dialog.findChild<QLabel*>()->text();
}

QStringList buttonTitles(const QWidget& dialog) {
    QStringList titles;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        titles << button->text();
    }
    titles.sort();
    return titles;
}

QPushButton* buttonNamed(const QWidget& dialog, const QString& title) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == title) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << title.toStdString();
    return nullptr;
}

} // namespace

TEST(UpdateDialog, InstallOpensTheUpdatesPageOnlyWhenItMayAndLaterOpensNothing) {
    FakeBrowser browser;
    const UpdateNotice notice = UpdateNotice::available(item("1.2", "https://example.com/1.2"));
    UpdateDialog install(notice, browser);
    install.show();
    EXPECT_EQ(messageOf(install), QStringLiteral("新しいバージョン 1.2 が利用可能です"));
    EXPECT_EQ(buttonTitles(install), (QStringList{QStringLiteral("インストール…"), QStringLiteral("後で")}));
    buttonNamed(install, QStringLiteral("インストール…"))->click();
    EXPECT_EQ(browser.opened, std::vector<std::string>{"https://example.com/1.2"});
    EXPECT_EQ(install.result(), QDialog::Accepted);
    EXPECT_FALSE(install.isVisible());

    UpdateDialog later(notice, browser);
    later.show();
    buttonNamed(later, QStringLiteral("後で"))->click();
    EXPECT_EQ(later.result(), QDialog::Rejected);
    EXPECT_EQ(browser.opened.size(), 1u);

    // An address the update rule refuses never reaches the browser, however the notice was made; a page
    // that could not be opened leaves the dialog up with the address to copy.
    UpdateDialog refused(UpdateNotice::available(item("1.2", "file:///bin/sh")), browser);
    refused.show();
    buttonNamed(refused, QStringLiteral("インストール…"))->click();
    EXPECT_EQ(browser.opened.size(), 1u);
    EXPECT_TRUE(refused.isVisible());
    EXPECT_EQ(
        messageOf(refused),
        QStringLiteral("新しいバージョン 1.2 が利用可能です\nブラウザで開けませんでした: file:///bin/sh"));
}

TEST(UpdateDialog, TheOutcomeOfACheckHasOnlyOk) {
    FakeBrowser browser;
    for (const UpdateNotice& notice : {UpdateNotice::upToDate(), UpdateNotice::failed("<b>HTTP 500</b>")}) {
        UpdateDialog dialog(notice, browser);
        dialog.show();
        EXPECT_EQ(messageOf(dialog).toStdString(), notice.message);
        EXPECT_EQ(dialog.findChild<QLabel*>()->textFormat(), Qt::PlainText);
        EXPECT_EQ(buttonTitles(dialog), QStringList{QStringLiteral("OK")});
        buttonNamed(dialog, QStringLiteral("OK"))->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

TEST(DialogUpdatePresenter, ANewNoticeReplacesTheOpenDialogInFront) {
    FakeBrowser browser;
    EXPECT_FALSE(applicationIsInImmediateFocus());
    {
        DialogUpdatePresenter presenter(browser);
        presenter.show(UpdateNotice::upToDate());
        QPointer<UpdateDialog> first = presenter.dialog();
        presenter.show(UpdateNotice::available(item("2", "https://example.com/2")));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(first.isNull());
        ASSERT_NE(presenter.dialog(), nullptr);
        EXPECT_TRUE(presenter.dialog()->isVisible());
        EXPECT_EQ(presenter.dialog()->notice().kind, UpdateNotice::Kind::updateAvailable);
        QApplication::processEvents();
        EXPECT_TRUE(applicationIsInImmediateFocus()); // the dialog is our active window
    }
    QApplication::processEvents();
    EXPECT_FALSE(applicationIsInImmediateFocus());
}

TEST(CheckForUpdatesView, TheButtonFollowsTheUpdaterAndStartsACheckTheUserSees) {
    PlainMainLoop loop(PlainMainLoop::Clock::manual);
    testsupport::FeedServer server;
    server.offer({"1.0"});
    FakeBrowser browser;
    DialogUpdatePresenter presenter(browser);
    auto store = std::make_shared<UpdateAvailabilityStore>();
    GentleUpdateDelegate gentle(store, loop);
    StandardUserDriver driver(gentle, presenter);
    Updater updater(loop, {server.url(), *desktop::UpdateVersion::parse("1.0"), {}, {}}, driver);

    CheckForUpdatesView early(std::make_unique<CheckForUpdatesViewModel>(updater), updater);
    EXPECT_EQ(early.button()->text(), QStringLiteral("アップデートを確認…"));
    EXPECT_FALSE(early.button()->isEnabled());
    updater.start();
    EXPECT_TRUE(early.button()->isEnabled());
    CheckForUpdatesView view(std::make_unique<CheckForUpdatesViewModel>(updater), updater);
    EXPECT_TRUE(view.button()->isEnabled()); // from its first frame

    server.hold();
    view.button()->click();
    server.waitForRequests(1);
    EXPECT_FALSE(view.button()->isEnabled());
    EXPECT_FALSE(early.button()->isEnabled());
    view.button()->click(); // a disabled button does nothing
    updater.canCheckForUpdates().subscribe([&](const bool& can) {
        if (can) {
            loop.quit();
        }
    });
    server.release();
    loop.run();
    EXPECT_TRUE(view.button()->isEnabled());
    EXPECT_EQ(server.requestCount(), 1);
    ASSERT_NE(presenter.dialog(), nullptr);
    EXPECT_EQ(messageOf(*presenter.dialog()), QStringLiteral("最新のバージョンを使用しています。"));
}
