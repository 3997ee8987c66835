#include "Platform/Desktop/Keychain/MemoryKeychain.h"
#include "ShellTestSupport.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "Velmora/Settings/SettingsView.h"
#include "Velmora/Updates/CheckForUpdatesView.h"
#include "Velmora/Updates/DialogUpdatePresenter.h"
#include "Velmora/Windows/ElidedLabel.h"
#include "Velmora/Windows/SettingsWindow.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Updates/GentleUpdateDelegate.h"
#include "VelmoraCoreTests/AuthTestSupport.h"

#include <QAccessible>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;

namespace {

const std::string quantised = "large-v3-v20240930_turbo_632MB";
const std::string full = "large-v3-v20240930_turbo";
const QString note = QStringLiteral("（低いほど小さな声も拾うが、環境音も拾いやすくなる）");

/// The form on a home of its own: memory defaults, a sign-in to a service (unless the address is none)
/// on a memory keychain, an updater without a feed, and a lifecycle whose processes are only counted.
class SettingsViewTest : public testing::Test {
protected:
    explicit SettingsViewTest(const std::string& homeName = "home",
                              std::optional<net::Url> signInAddress = net::Url::parse("https://sign-in.test/")) {
        homePath = home / homeName;
        environment.set("HOME", homePath.string());
        environment.set("XDG_CONFIG_HOME", (homePath / ".config").string());
        defaults = std::make_shared<DefaultsStore>();
        settings = std::make_unique<AppSettings>(defaults);
        AuthSession::Dependencies dependencies;
        dependencies.mainThread = loop;
        dependencies.keychain = keychain;
        dependencies.browser = browser;
        dependencies.notifications = std::make_shared<authtest::RecordingNotifications>();
        dependencies.baseURL = signInAddress;
        auth = AuthSession::create(std::move(dependencies));
        control.startDetached = [this](const std::filesystem::path& program, const QStringList&) {
            started.push_back(program);
            return std::nullopt;
        };
        control.terminate = [this] { ++terminations; };
    }

    void show() {
        window = std::make_unique<SettingsWindow>(*settings, updater, *auth, lifecycle, [this] { ++quits; });
        window->show();
        QCoreApplication::processEvents();
    }
    SettingsView& view() const { return window->view(); }
    QStringList sectionTitles() const {
        QStringList titles;
        for (QGroupBox* section : view().visibleSections()) {
            titles << section->title();
        }
        return titles;
    }
    void signInAgain() {
        auth->signIn([](std::exception_ptr) {});
        auth->handleCallbackURL("velmora://auth?token=refresh-2");
        QCoreApplication::processEvents();
    }

    testsupport::TemporaryDirectory home;
    std::filesystem::path homePath;
    testsupport::ScopedEnvironment environment;
    std::shared_ptr<DefaultsStore> defaults;
    std::unique_ptr<AppSettings> settings;
    std::shared_ptr<PlainMainLoop> loop = std::make_shared<PlainMainLoop>(PlainMainLoop::Clock::manual);
    std::shared_ptr<desktop::MemoryKeychain> keychain = std::make_shared<desktop::MemoryKeychain>("refresh-1");
    std::shared_ptr<authtest::RecordingBrowser> browser = std::make_shared<authtest::RecordingBrowser>();
    std::shared_ptr<AuthSession> auth;

    DialogUpdatePresenter presenter{*browser};
    std::shared_ptr<UpdateAvailabilityStore> store = std::make_shared<UpdateAvailabilityStore>();
    GentleUpdateDelegate gentle{store, *loop};
    StandardUserDriver driver{gentle, presenter};
    Updater updater{*loop, {std::nullopt, *desktop::UpdateVersion::parse("1.0"), {}, {}}, driver};

    AppLifecycle::ProcessControl control;
    std::vector<std::filesystem::path> started;
    int terminations = 0;
    AppLifecycle lifecycle{nullptr, "/opt/velmora/bin/velmora", {}, AppLifecycle::ProcessControl{
        [this](const std::filesystem::path& program, const QStringList& arguments) {
            return control.startDetached(program, arguments);
        },
        [this] { control.terminate(); }}};
    int quits = 0;
    std::unique_ptr<SettingsWindow> window;
};

class LongHomeSettingsViewTest : public SettingsViewTest {
protected:
    LongHomeSettingsViewTest() : SettingsViewTest(std::string(60, 'h') + "/" + std::string(60, 'k')) {}
};

class NoSignInSettingsViewTest : public SettingsViewTest {
protected:
    NoSignInSettingsViewTest() : SettingsViewTest("home", std::nullopt) {}
};

} // namespace

TEST_F(SettingsViewTest, SixSectionsInOrderWhileSignedInAndTheAccountGoesAndComesWithTheSignIn) {
    show();
    EXPECT_EQ(sectionTitles(),
              (QStringList{"保存先", "文字起こしモデル", "VAD感度", "アップデート", "アカウント", "アプリ"}));
    EXPECT_EQ(window->size().width(), 480);
    EXPECT_EQ(view().saveFolder()->text(), QString::fromStdString(settings->saveDirectory().string()));
    EXPECT_EQ(view().updateCheck()->button()->text(), QStringLiteral("アップデートを確認…"));
    QDir().mkpath(shelltest::screenshotDirectory());
    EXPECT_TRUE(window->grab().save(shelltest::screenshotDirectory() + "/settings-window.png"));
    const int signedInHeight = window->size().height();

    QTest::mouseClick(view().signOutButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(auth->isSignedIn().value());
    EXPECT_EQ(keychain->load(), std::nullopt);
    EXPECT_EQ(sectionTitles(), (QStringList{"保存先", "文字起こしモデル", "VAD感度", "アップデート", "アプリ"}));
    EXPECT_LT(window->size().height(), signedInHeight) << "the window follows its content";
    EXPECT_TRUE(window->grab().save(shelltest::screenshotDirectory() + "/settings-window-signed-out.png"));

    signInAgain();
    EXPECT_EQ(sectionTitles().size(), 6);
    EXPECT_EQ(sectionTitles()[4], QStringLiteral("アカウント"));

    window.reset();
    EXPECT_EQ(auth->isSignedIn().subscriberCount(), 0u);
    EXPECT_EQ(settings->modelName().subscriberCount(), 0u);
    EXPECT_EQ(settings->vadThreshold().subscriberCount(), 0u);
}

TEST_F(NoSignInSettingsViewTest, WithoutASignInThereIsNoAccountSectionEvenWithAStoredToken) {
    show();
    EXPECT_TRUE(auth->isSignedIn().value());
    const QStringList five{"保存先", "文字起こしモデル", "VAD感度", "アップデート", "アプリ"};
    EXPECT_EQ(sectionTitles(), five);
    auth->signOut();
    auth->signIn([](std::exception_ptr) {});
    auth->handleCallbackURL("velmora://auth?token=refresh-2");
    QCoreApplication::processEvents();
    EXPECT_EQ(sectionTitles(), five);
}

TEST_F(SettingsViewTest, TheRadioButtonsShowAndStoreTheModelName) {
    show();
    EXPECT_EQ(view().modelButton(0)->text(), QStringLiteral("large-v3-turbo 量子化（632MB・推奨）"));
    EXPECT_EQ(view().modelButton(1)->text(), QStringLiteral("large-v3-turbo フル（約1.5GB・精度優先）"));
    EXPECT_TRUE(view().modelButton(0)->isChecked());
    EXPECT_FALSE(view().modelButton(1)->isChecked());

    QTest::mouseClick(view().modelButton(1), Qt::LeftButton);
    EXPECT_EQ(settings->modelName().value(), full);
    EXPECT_EQ(defaults->string(AppSettings::modelNameKey), full);
    EXPECT_TRUE(view().modelButton(1)->isChecked());
    EXPECT_FALSE(view().modelButton(0)->isChecked());

    // A name stored elsewhere that is neither choice: none chosen, and nothing rewrites it.
    settings->setModelName("tiny");
    EXPECT_FALSE(view().modelButton(0)->isChecked());
    EXPECT_FALSE(view().modelButton(1)->isChecked());
    EXPECT_EQ(defaults->string(AppSettings::modelNameKey), "tiny");
    QTest::mouseClick(view().modelButton(0), Qt::LeftButton);
    EXPECT_EQ(settings->modelName().value(), quantised);
}

TEST_F(SettingsViewTest, TheSliderSpansTheRangeAndTheCaptionFollowsIt) {
    show();
    QSlider* slider = view().thresholdSlider();
    EXPECT_EQ(view().thresholdText()->text(), "閾値: 0.020" + note);
    EXPECT_EQ(slider->value(), SettingsView::positionOf(0.02f));

    slider->setValue(slider->minimum());
    EXPECT_EQ(settings->vadThreshold().value(), 0.005f);
    EXPECT_EQ(view().thresholdText()->text(), "閾値: 0.005" + note);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(settings->vadThreshold().value(), 0.005f) << "nothing below the range";

    slider->setValue(slider->maximum());
    EXPECT_EQ(settings->vadThreshold().value(), 0.1f);
    EXPECT_EQ(defaults->floatValue(AppSettings::vadThresholdKey), 0.1f);
    EXPECT_EQ(view().thresholdText()->text(), "閾値: 0.100" + note);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(settings->vadThreshold().value(), 0.1f) << "nothing above the range";

    QTest::keyClick(slider, Qt::Key_PageDown);
    EXPECT_EQ(view().thresholdText()->text(),
              QString::fromStdString(SettingsView::thresholdCaption(settings->vadThreshold().value())));
    EXPECT_NEAR(settings->vadThreshold().value(), 0.095f, 1e-6);

    // A value stored outside the range is shown as it is and kept until the slider moves.
    settings->setVadThreshold(0.5f);
    EXPECT_EQ(slider->value(), slider->maximum());
    EXPECT_EQ(view().thresholdText()->text(), "閾値: 0.500" + note);
    EXPECT_EQ(settings->vadThreshold().value(), 0.5f);

    for (int position = 0; position <= SettingsView::thresholdSteps; position += 1) {
        ASSERT_EQ(SettingsView::positionOf(SettingsView::thresholdAt(position)), position);
    }
}

TEST_F(SettingsViewTest, RestartStartsTheProgramAgainAndQuitEnds) {
    show();
    QTest::mouseClick(view().restartButton(), Qt::LeftButton);
    EXPECT_EQ(started, std::vector<std::filesystem::path>{"/opt/velmora/bin/velmora"});
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(quits, 0);
    QTest::mouseClick(view().quitButton(), Qt::LeftButton);
    EXPECT_EQ(quits, 1);
}

TEST_F(LongHomeSettingsViewTest, ALongSaveFolderStaysOnOneLineCutInItsMiddle) {
    show();
    const ElidedLabel* folder = view().saveFolder();
    const QString shown = folder->shownText();
    EXPECT_EQ(window->size().width(), 480);
    EXPECT_NE(shown, folder->text());
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("ベルモラ"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(folder->height(), folder->fontMetrics().height());
    QDir().mkpath(shelltest::screenshotDirectory());
    EXPECT_TRUE(window->grab().save(shelltest::screenshotDirectory() + "/settings-window-long-folder.png"));
}

TEST_F(LongHomeSettingsViewTest, AssistiveTechnologiesReadTheWholeFolderAndChooseAModelAsByAClick) {
    show();
    QAccessibleInterface* folder = QAccessible::queryAccessibleInterface(view().saveFolder());
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->role(), QAccessible::StaticText);
    EXPECT_EQ(folder->text(QAccessible::Name), QString::fromStdString(settings->saveDirectory().string()))
        << "the whole path, not the part on screen";

    QAccessibleInterface* first = QAccessible::queryAccessibleInterface(view().modelButton(0));
    QAccessibleInterface* second = QAccessible::queryAccessibleInterface(view().modelButton(1));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->role(), QAccessible::RadioButton);
    EXPECT_TRUE(first->state().checked);
    EXPECT_FALSE(second->state().checked);
    ASSERT_NE(second->actionInterface(), nullptr);
    const QStringList actions = second->actionInterface()->actionNames();
    ASSERT_FALSE(actions.isEmpty());
    second->actionInterface()->doAction(actions.first());
    ASSERT_TRUE(shelltest::processEventsUntil([&] { return settings->modelName().value() == full; }));
    EXPECT_EQ(defaults->string(AppSettings::modelNameKey), full);
    EXPECT_TRUE(second->state().checked);
    EXPECT_FALSE(first->state().checked);
}
