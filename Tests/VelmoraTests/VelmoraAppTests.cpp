#include "Platform/Desktop/HotKeys/X11HotKeyGrab.h"
#include "Platform/Desktop/Keychain/MemoryKeychain.h"
#include "ShellTestSupport.h"
#include "Support/ScopedEnvironment.h"
#include "Support/StandardOptions.h"
#include "Support/Desktop/TestDisplay.h"
#include "Support/TestSupport.h"
#include "Velmora/Application/VelmoraApp.h"
#include "VelmoraCoreTests/AuthTestSupport.h"
#include "XTestKeyboard.h"

#include <QGroupBox>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <sstream>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;
using testsupport::TemporaryDirectory;
using Phase = RecordingControl::Phase;

namespace {

class NoAlerts final : public InstallAlerts {
public:
    bool offerMove() override {
        ADD_FAILURE() << "no install-location offer expected";
        return false;
    }
    void showMoveFailure(const std::string&) override {}
};

/// The application on a home of its own, a sign-in session on memory (to the address given, else to the
/// build's), a fake recording session, and no process ever started or ended.
class AppFixture {
public:
    explicit AppFixture(bool hasTray, std::string hotKeyDisplay = ":4242", bool documentsBlocked = false,
                        std::optional<net::Url> signInAddress = net::Url::parse("https://sign-in.test/"),
                        std::optional<std::string> storedToken = std::nullopt) {
        if (documentsBlocked) {
            testsupport::writeFile(home_ / "Documents", "a file where the folder should be");
        }
        environment_.set("HOME", home_.path().string());
        environment_.set("XDG_CONFIG_HOME", (home_ / ".config").string());
        environment_.unset("XDG_DOCUMENTS_DIR");
        VelmoraApp::Environment environment;
        environment.defaults = std::make_shared<DefaultsStore>();
        environment.authSession = [this, signInAddress, storedToken](std::shared_ptr<MainThreadDispatcher> mainThread) {
            AuthSession::Dependencies dependencies;
            dependencies.mainThread = std::move(mainThread);
            dependencies.keychain = std::make_shared<desktop::MemoryKeychain>(storedToken);
            dependencies.browser = browser;
            dependencies.notifications = std::make_shared<authtest::RecordingNotifications>();
            if (signInAddress) {
                dependencies.baseURL = signInAddress;
            }
            auth = AuthSession::create(std::move(dependencies));
            return auth;
        };
        environment.recordingSession = [this](AppSettings&, MainThreadDispatcher&) { return session; };
        environment.installAlerts = [] { return std::make_unique<NoAlerts>(); };
        environment.installPaths = {home_ / "build/bin/velmora", home_.path()};
        environment.processControl.startDetached = [](const auto&, const auto&) { return std::nullopt; };
        environment.processControl.terminate = [this] { ++terminations; };
        environment.hotKeyDisplay = std::move(hotKeyDisplay);
        environment.hasTray = [hasTray] { return hasTray; };
        app = std::make_unique<VelmoraApp>(std::move(environment), LaunchOptions{}, nullptr);
    }

    std::filesystem::path home() const { return home_.path(); }

    std::shared_ptr<authtest::RecordingBrowser> browser = std::make_shared<authtest::RecordingBrowser>();
    std::shared_ptr<shelltest::FakeRecordingSession> session = std::make_shared<shelltest::FakeRecordingSession>();
    std::shared_ptr<AuthSession> auth;
    int terminations = 0;
    std::unique_ptr<VelmoraApp> app;

private:
    TemporaryDirectory home_;
    testsupport::ScopedEnvironment environment_;
};

} // namespace

TEST(VelmoraApp, OwnsTheObjectsTheLabelFollowsAndOpenedAddressesReachTheSignIn) {
    AppFixture fixture(true);
    VelmoraApp& app = *fixture.app;
    EXPECT_TRUE(std::filesystem::is_directory(fixture.home() / "Documents/ベルモラ")) << "the save folder";
    EXPECT_EQ(app.hotKeyManager(), nullptr) << "no hot key before the panel has shown";

    fixture.session->set(Phase::recording, 62, 0);
    EXPECT_EQ(app.trayIcon().toolTip(), "01:02");

    // A sign-in waits for the service's answer; only a velmora address answers it.
    bool signedIn = false;
    fixture.auth->signIn([&](std::exception_ptr error) { signedIn = error == nullptr; });
    app.appDelegate().openURLs({"https://example.com/auth?token=x", "velmora://auth?token=refresh"});
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return signedIn; }));
    EXPECT_TRUE(fixture.auth->isSignedIn().value());

    // The tray's panel is frameless and shown only when asked for.
    app.didFinishLaunching();
    EXPECT_FALSE(app.panel().isVisible());
    EXPECT_TRUE(app.panel().isBesideTray());
    app.togglePanel();
    EXPECT_TRUE(app.panel().isVisible());
    EXPECT_TRUE(app.panel().windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(app.panel().size(), QSize(420, 560));
    ASSERT_NE(app.hotKeyManager(), nullptr);
    EXPECT_FALSE(app.hotKeyManager()->isRegistered()) << "this fixture's display does not exist";
    app.togglePanel();
    EXPECT_FALSE(app.panel().isVisible());
}

TEST(VelmoraApp, WithoutATrayThePanelOpensAsAWindowAndQuitEndsTheApplication) {
    AppFixture fixture(false);
    VelmoraApp& app = *fixture.app;
    app.didFinishLaunching();
    EXPECT_TRUE(app.panel().isVisible());
    EXPECT_FALSE(app.panel().windowFlags().testFlag(Qt::FramelessWindowHint));

    // The settings window's quit ends the application through the event loop.
    app.openSettings();
    EXPECT_TRUE(app.settingsWindow().isVisible());
    for (QPushButton* button : app.settingsWindow().findChildren<QPushButton*>()) {
        if (button->text() == "終了") {
            button->click();
        }
    }
    EXPECT_EQ(fixture.terminations, 1);
}

TEST(VelmoraApp, ASaveFolderThatCannotBeMadeDoesNotStopTheStart) {
    AppFixture fixture(true, ":4242", true);
    EXPECT_FALSE(std::filesystem::is_directory(fixture.home() / "Documents"));
    fixture.session->set(Phase::recording, 5, 0);
    EXPECT_EQ(fixture.app->trayIcon().toolTip(), "00:05");
}

TEST(VelmoraProgram, AnswersHelpAndVersionBeforeItNeedsADisplay) {
    // Without a display the xcb platform cannot start: any answer came before the application existed.
    const std::string withoutDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb";
    testsupport::expectStandardOptions("velmora", {""}, withoutDisplay);
    std::string output;
    EXPECT_EQ(testsupport::runCommand(withoutDisplay + " " + testsupport::toolPath("velmora").string() +
                                          " -style fusion --bogus 2>&1",
                                      &output),
              2);
    EXPECT_NE(output.find("unknown option --bogus\nusage:"), std::string::npos) << output;
}

TEST(VelmoraApp, WithoutASignInAddressNoAccountIsOfferedAndWithOneItIs) {
    if (AuthSession::baseURL()) {
        GTEST_SKIP() << "this build has a sign-in address";
    }
    auto sections = [](VelmoraApp& app) {
        QStringList titles;
        for (QGroupBox* section : app.settingsWindow().view().visibleSections()) {
            titles << section->title();
        }
        return titles;
    };
    {
        AppFixture fixture(true, ":4242", false, std::nullopt, "refresh");
        EXPECT_FALSE(fixture.auth->signInExists());
        EXPECT_FALSE(sections(*fixture.app).contains("アカウント")) << sections(*fixture.app).join(", ").toStdString();
        EXPECT_EQ(sections(*fixture.app).size(), 5);
    }
    // The same build with an address handed in at start.
    AppFixture fixture(true, ":4242", false, net::Url::parse("https://sign-in.test/"), "refresh");
    EXPECT_TRUE(fixture.auth->signInExists());
    EXPECT_TRUE(sections(*fixture.app).contains("アカウント"));
}

TEST(LaunchOptions, AddressesInOrderAndTheThreeOptions) {
    const auto options = LaunchOptions::parse({"velmora://a", "--show-panel", "velmora://b", "--no-install-check",
                                               "--screenshot", "/tmp/shots"});
    EXPECT_EQ(options.urls, QStringList({"velmora://a", "velmora://b"}));
    EXPECT_TRUE(options.showPanel);
    EXPECT_TRUE(options.noInstallCheck);
    EXPECT_EQ(options.screenshotDirectory, "/tmp/shots");
    EXPECT_THROW(LaunchOptions::parse({"--screenshot"}), std::invalid_argument);
    EXPECT_THROW(LaunchOptions::parse({"--verbose"}), std::invalid_argument);
    // The toolkit's own options are its own, with their values.
    std::vector<std::string> words{"velmora", "-platform", "offscreen", "--style=fusion", "-reverse", "--show-panel"};
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    const auto full = LaunchOptions::parseCommandLine(int(argv.size()), argv.data());
    EXPECT_TRUE(full.showPanel);
    EXPECT_TRUE(full.urls.isEmpty());
}

class VelmoraAppOnDisplay : public testsupport::XDisplayTest {};

TEST_F(VelmoraAppOnDisplay, TheHotKeyExistsOnlyOnceThePanelHasShownAndTogglesTheRecording) {
    AppFixture fixture(true, displayName());
    VelmoraApp& app = *fixture.app;
    shelltest::XTestKeyboard keyboard(displayName());
    auto shortcutIsFree = [&] {
        return desktop::X11HotKeyGrab("r", desktop::X11HotKeyGrab::Modifier::control | desktop::X11HotKeyGrab::Modifier::alt,
                                      [] {}, displayName())
            .isActive();
    };
    EXPECT_TRUE(shortcutIsFree()) << "before the panel showed, nothing holds the shortcut";

    app.showPanel();
    HotKeyManager* manager = app.hotKeyManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->isRegistered());
    EXPECT_FALSE(shortcutIsFree());

    keyboard.pressHotKey(); // idle: reset, then start
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return fixture.session->starts == 1; }));
    EXPECT_EQ(fixture.session->resets, 1);
    keyboard.pressHotKey(); // recording: stop
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return fixture.session->stops == 1; }));

    fixture.session->set(Phase::failed, 0, 0); // a failed start is reset and started again
    keyboard.pressHotKey();
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return fixture.session->starts == 2; }));
    EXPECT_EQ(fixture.session->resets, 2);

    for (int again = 0; again < 3; ++again) {
        app.togglePanel();
        app.togglePanel();
    }
    EXPECT_EQ(app.hotKeyManager(), manager) << "one manager for the whole run";
}

TEST_F(VelmoraAppOnDisplay, TheProgramSavesItsPicturesBesideTheTrayHost) {
    TemporaryDirectory home;
    const QString folder = shelltest::screenshotDirectory() + "/velmora";
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(displayName()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("HOME", QString::fromStdString(home.path().string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((home / ".config").string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path().string()));
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QString::fromStdString((home / "no-bus").string()));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(testsupport::toolPath("velmora").string()), {"--screenshot", folder});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    EXPECT_FALSE(errors.contains("no system tray")) << "the tray host was not found: " << errors.toStdString();

    EXPECT_EQ(QImage(folder + "/panel.png").size(), QSize(420, 560));
    EXPECT_EQ(QImage(folder + "/settings.png").width(), 480);
    const QImage label(folder + "/label.png");
    EXPECT_EQ(label.size(), QSize(28, 28));
    EXPECT_EQ(label.pixelColor(12, 14), QColor(255, 255, 255));
}

namespace {

/// Where the visible window of that name lies on the private display (xdotool's view), if there is one.
std::optional<QRect> visibleWindow(const std::string& display, const std::string& name) {
    std::string geometry;
    if (testsupport::runCommand("DISPLAY=" + display + " xdotool search --onlyvisible --name " +
                                    testsupport::shellQuoted("^" + name + "$") + " getwindowgeometry --shell",
                                &geometry) != 0) {
        return std::nullopt;
    }
    std::map<std::string, int> values;
    std::istringstream lines(geometry);
    for (std::string line; std::getline(lines, line);) {
        if (const auto equals = line.find('='); equals != std::string::npos) {
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        }
    }
    return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
}

void click(const std::string& display, QPoint place) {
    testsupport::runCommand("DISPLAY=" + display + " xdotool mousemove " + std::to_string(place.x()) + " " +
                            std::to_string(place.y()) + " click 1");
}

} // namespace

TEST_F(VelmoraAppOnDisplay, AStartWithThePanelPutsItWhereAClickOnTheTrayIconDoes) {
    TemporaryDirectory home;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(displayName()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("HOME", QString::fromStdString(home.path().string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path().string()));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(testsupport::toolPath("velmora").string()),
                  {"--show-panel", "--no-install-check"});
    auto panel = [&] {
        QThread::msleep(20);
        return visibleWindow(displayName(), "ベルモラ");
    };
    std::optional<QRect> atStart;
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return (atStart = panel()).has_value(); }));
    const auto tray = visibleWindow(displayName(), "panel");
    ASSERT_TRUE(tray.has_value()) << "the tray host's window";
    EXPECT_EQ(atStart->size(), QSize(420, 560));
    EXPECT_GT(atStart->top(), tray->top()) << "the panel covers the tray";

    click(displayName(), tray->center()); // the open panel closes
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return !panel().has_value(); }));
    // A click within 300 ms of the panel losing the focus is taken for the one that closed it.
    QThread::msleep(400);
    click(displayName(), tray->center());
    std::optional<QRect> afterClick;
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return (afterClick = panel()).has_value(); }));
    EXPECT_EQ(*afterClick, *atStart);
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(20000));
}
