#include "ShellTestSupport.h"
#include "Support/TestSupport.h"
#include "Velmora/Application/SingleInstance.h"
#include "Velmora/Lifecycle/InstallLocation.h"
#include "Velmora/Lifecycle/InstallLocationCheck.h"
#include "Velmora/Lifecycle/MessageBoxInstallAlerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velmora::app;
using testsupport::readFile;
using testsupport::TemporaryDirectory;
using testsupport::writeFile;
namespace fs = std::filesystem;

namespace {

/// An install tree: bin/velmora beside share/velmora/, with a file telling the copies apart.
fs::path makeTree(const fs::path& tree, const std::string& version) {
    writeFile(tree / "bin" / "velmora", "#!/bin/sh\n");
    fs::permissions(tree / "bin" / "velmora", fs::perms::owner_all);
    writeFile(tree / "share" / "velmora" / "version", version);
    return tree / "bin" / "velmora";
}

class AnsweringAlerts final : public InstallAlerts {
public:
    bool offerMove() override {
        ++offers;
        return accept;
    }
    void showMoveFailure(const std::string& description) override { failures.push_back(description); }
    bool accept = false;
    int offers = 0;
    std::vector<std::string> failures;
};

/// Records every start and end instead of making them, and whether the instance socket was still open.
struct ProcessLog {
    std::vector<std::string> events;
    std::optional<std::string> startFailure;

    AppLifecycle::ProcessControl control(SingleInstance* instance) {
        AppLifecycle::ProcessControl control;
        control.startDetached = [this, instance](const fs::path& program, const QStringList& arguments) {
            events.push_back("start " + program.string() + (arguments.isEmpty() ? "" : " " + arguments.join(' ').toStdString()) +
                             (instance != nullptr && instance->isListening() ? " while listening" : ""));
            return startFailure;
        };
        control.terminate = [this] { events.push_back("terminate"); };
        return control;
    }
};

} // namespace

TEST(InstallLocation, OnlyAnInstallTreeIsCheckedAndTheInstalledPlacesAreAPrefixTest) {
    TemporaryDirectory folder;
    EXPECT_EQ(InstallLocation::installTree(folder / "build/bin/velmora"), std::nullopt) << "a build tree";
    const fs::path tree = folder / "Downloads/velmora-0.1";
    EXPECT_EQ(InstallLocation::installTree(makeTree(tree, "1")), tree);
    EXPECT_EQ(InstallLocation::installTree(tree / "libexec/velmora"), std::nullopt);

    const fs::path home = "/home/ann";
    for (const char* installed : {"/usr", "/usr/local", "/opt/velmora", "/opt/tools/velmora", "/home/ann/.local",
                                  "/home/ann/.local/opt/velmora"}) {
        EXPECT_TRUE(InstallLocation::isInstalled(installed, home)) << installed;
    }
    for (const char* elsewhere : {"/home/ann/Downloads/velmora", "/media/ann/USB/velmora", "/optional/velmora",
                                  "/usrx", "/home/ann/.localx/velmora", "/Opt/velmora", "/home/ann"}) {
        EXPECT_FALSE(InstallLocation::isInstalled(elsewhere, home)) << elsewhere;
    }
    EXPECT_FALSE(InstallLocation::isInstalled("/.local/velmora", "")) << "no home, no home prefix";
    EXPECT_EQ(InstallLocation::moveDestination(home), "/home/ann/.local/opt/velmora");
}

TEST(InstallLocation, TheCopyReplacesAnOlderOneWholeAndAFailedCopyKeepsIt) {
    TemporaryDirectory folder;
    const fs::path destination = folder / "home/.local/opt/velmora";
    makeTree(destination, "old");
    writeFile(destination / "share/velmora/only-in-old", "x");
    makeTree(folder / "new", "new");

    InstallLocation::copyReplacing(folder / "new", destination);
    EXPECT_EQ(readFile(destination / "share/velmora/version"), "new");
    EXPECT_FALSE(fs::exists(destination / "share/velmora/only-in-old"));
    EXPECT_NE(fs::status(destination / "bin/velmora").permissions() & fs::perms::owner_exec, fs::perms::none);

    // A tree the copy cannot take (a named pipe inside): the installed copy stays, nothing is left beside it.
    makeTree(folder / "broken", "broken");
    ASSERT_EQ(mkfifo((folder / "broken/share/velmora/pipe").c_str(), 0600), 0);
    EXPECT_THROW(InstallLocation::copyReplacing(folder / "broken", destination), fs::filesystem_error);
    EXPECT_EQ(readFile(destination / "share/velmora/version"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(destination.parent_path()), fs::directory_iterator()), 1);

    EXPECT_THROW(InstallLocation::copyReplacing(folder / "new", folder / "new/inside"), fs::filesystem_error);
}

/// A running first instance whose check answers with `alerts` and whose starts and ends are logged.
class InstallCheckTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(instance.claim({}), SingleInstance::Role::first); }
    void check(const fs::path& executable, const fs::path& home) {
        InstallLocationCheck({executable, home}, alerts, lifecycle).runIfNeeded();
    }

    TemporaryDirectory folder;
    TemporaryDirectory runtime;
    SingleInstance instance{QString::fromStdString((runtime / "velmora.socket").string())};
    AnsweringAlerts alerts;
    ProcessLog log;
    AppLifecycle lifecycle{&instance, "/unused", {}, log.control(&instance)};
};

TEST_F(InstallCheckTest, AnInstalledOrBuildTreeIsNotAskedAndADeclinedOfferComesBackNextTime) {
    const fs::path home = folder / "home";
    check(folder / "build/bin/velmora", home);
    check(makeTree(home / ".local/opt/velmora", "1"), home);
    EXPECT_EQ(alerts.offers, 0);

    const fs::path downloaded = makeTree(home / "Downloads/velmora", "downloaded");
    for (int launch = 1; launch <= 2; ++launch) {
        check(downloaded, home);
        EXPECT_EQ(alerts.offers, launch);
    }
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(readFile(home / ".local/opt/velmora/share/velmora/version"), "1") << "nothing was copied";
}

TEST_F(InstallCheckTest, AnAcceptedMoveCopiesTheTreeAndHandsOverToTheCopyWithTheSocketClosedFirst) {
    alerts.accept = true;
    const fs::path home = folder / "home";
    makeTree(home / ".local/opt/velmora", "older copy");
    check(makeTree(folder / "media/usb/velmora", "2"), home);
    EXPECT_EQ(readFile(home / ".local/opt/velmora/share/velmora/version"), "2");
    EXPECT_EQ(log.events, (std::vector<std::string>{"start " + (home / ".local/opt/velmora/bin/velmora").string(),
                                                   "terminate"}));
    EXPECT_TRUE(alerts.failures.empty());
}

TEST_F(InstallCheckTest, AFailedMoveIsShownWithItsReasonAndTheApplicationGoesOnListening) {
    alerts.accept = true;
    const fs::path tree = makeTree(folder / "Downloads/velmora", "3");

    // The destination cannot be made: a file stands where a folder must go.
    writeFile(folder / "home1/.local", "not a folder");
    check(tree, folder / "home1");
    ASSERT_EQ(alerts.failures.size(), 1u);
    EXPECT_NE(alerts.failures[0].find("Not a directory"), std::string::npos) << alerts.failures[0];
    EXPECT_TRUE(log.events.empty());

    // The copy cannot be started: the reason is shown and this instance takes requests again.
    log.startFailure = "execv: Permission denied";
    check(tree, folder / "home2");
    ASSERT_EQ(alerts.failures.size(), 2u);
    EXPECT_EQ(alerts.failures[1], "execv: Permission denied");
    EXPECT_EQ(log.events, std::vector<std::string>{"start " + (folder / "home2/.local/opt/velmora/bin/velmora").string()});
    EXPECT_TRUE(instance.isListening());
}

TEST(MessageBoxInstallAlerts, TheFailureCarriesItsReasonAndTheOfferAnswersTheButtonPressed) {
    auto failure = MessageBoxInstallAlerts::makeFailureBox("Permission denied: /home/ann/.local/opt");
    EXPECT_EQ(failure->informativeText(),
              "お手数ですが、このフォルダを ~/.local/opt/velmora へ手動でコピーしてから、開き直してください。"
              "（Permission denied: /home/ann/.local/opt）");

    // The offer says what the move does on this desktop.
    auto offer = MessageBoxInstallAlerts::makeOfferBox();
    EXPECT_EQ(offer->text(), "「ベルモラ」をインストールしてください");
    EXPECT_EQ(offer->informativeText(),
              "ダウンロードした場所（展開したフォルダやリムーバブルディスク）から直接起動しています。"
              "「ホームフォルダにインストール」を押すと、~/.local/opt/velmora にコピーして起動し直します。");
    QStringList buttons;
    for (QAbstractButton* button : offer->buttons()) {
        buttons << button->text();
    }
    EXPECT_TRUE(buttons.contains("ホームフォルダにインストール")) << buttons.join(", ").toStdString();
    EXPECT_TRUE(buttons.contains("後で（このまま使う）")) << buttons.join(", ").toStdString();

    // The modal offer answers which button was pressed.
    MessageBoxInstallAlerts alerts;
    for (const QString& press : {MessageBoxInstallAlerts::moveButton, MessageBoxInstallAlerts::laterButton}) {
        QTimer::singleShot(0, [press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == press) {
                    button->click();
                }
            }
        });
        EXPECT_EQ(alerts.offerMove(), press == MessageBoxInstallAlerts::moveButton);
    }
}
