#include "PanelFakes.h"
#include "ShellTestSupport.h"
#include "Velmora/Panel/PanelTexts.h"
#include "Velmora/Panel/Widgets/FolderOpener.h"
#include "Velmora/Panel/Widgets/LevelMeter.h"
#include "Velmora/Panel/Widgets/PanelContent.h"
#include "Velmora/Panel/Widgets/QtPanelShell.h"
#include "Velmora/Panel/Widgets/RecordingInterface.h"
#include "VelmoraCore/Auth/AuthError.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;
using paneltest::PanelWorld;

namespace {

class PanelWidgetTest : public testing::Test {
protected:
    void show() {
        model = world.makeModel();
        content = std::make_unique<PanelContent>(*model);
        content->setFixedSize(420, 560);
        content->show();
        model->appear();
        settle();
    }

    void settle() {
        QCoreApplication::processEvents();
        content->layout()->activate();
    }

    /// The visible labels' and buttons' texts.
    QStringList shownTexts() const {
        QStringList shown;
        for (auto* label : content->findChildren<QLabel*>()) {
            if (label->isVisible() && !label->text().isEmpty()) {
                shown << label->text();
            }
        }
        for (auto* button : content->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && !button->text().isEmpty()) {
                shown << button->text();
            }
        }
        return shown;
    }

    bool shows(const char* text) const { return shownTexts().contains(QString::fromUtf8(text)); }

    QAbstractButton* button(const char* text) const {
        for (auto* candidate : content->findChildren<QAbstractButton*>()) {
            if (candidate->isVisible() && candidate->text() == QString::fromUtf8(text)) {
                return candidate;
            }
        }
        return nullptr;
    }

    void press(const char* text) {
        QAbstractButton* target = button(text);
        ASSERT_NE(target, nullptr) << text;
        QTest::mouseClick(target, Qt::LeftButton);
        settle();
    }

    QComboBox* picker(int index) const { return content->findChildren<QComboBox*>().at(index); }

    /// The content starts under the header at the top: the title in the top margin, and the first text
    /// or button below the tabs one spacing under them (a free space stays below, never above).
    void expectContentAtTheTop(const QString& name) const {
        auto top = [this](const QWidget* widget) { return widget->mapTo(content.get(), QPoint(0, 0)).y(); };
        const QList<QLabel*> labels = content->findChildren<QLabel*>();
        const auto title = std::find_if(labels.begin(), labels.end(), [](QLabel* label) {
            return label->text() == QStringLiteral("ベルモラ");
        });
        ASSERT_NE(title, labels.end());
        EXPECT_LE(top(*title), 20) << name.toStdString();
        const QTabBar* tabs = content->findChild<QTabBar*>();
        const int underTabs = top(tabs) + tabs->height();
        int first = content->height();
        for (QWidget* widget : content->findChildren<QWidget*>()) {
            const bool shows = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                               qobject_cast<QComboBox*>(widget) || qobject_cast<QProgressBar*>(widget);
            if (shows && widget->isVisible() && top(widget) >= underTabs) {
                first = std::min(first, top(widget));
            }
        }
        EXPECT_LE(first, underTabs + 12 + 4) << name.toStdString();
    }

    /// Every visible text lies inside the panel, a wrapped text has the height its lines need, and a
    /// button is as wide as its title; then the picture goes to build/screenshots/panel/NAME.png.
    void expectNothingClippedAndSave(const QString& name) {
        settle();
        expectContentAtTheTop(name);
        const QRect panel = content->rect();
        for (auto* label : content->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty()) {
                continue;
            }
            const QRect place(label->mapTo(content.get(), QPoint(0, 0)), label->size());
            EXPECT_TRUE(panel.contains(place)) << name.toStdString() << ": " << label->text().toStdString();
            if (label->wordWrap()) {
                // No taller than its lines either (an icon beside it may make the row 16 high): a
                // text given a guessed height stands apart from what it belongs to.
                const int needed = label->heightForWidth(label->width());
                EXPECT_GE(label->height(), needed) << name.toStdString() << ": " << label->text().toStdString();
                EXPECT_LE(label->height(), std::max(needed, 16))
                    << name.toStdString() << ": " << label->text().toStdString();
            } else {
                EXPECT_GE(label->width(), label->sizeHint().width())
                    << name.toStdString() << ": " << label->text().toStdString();
            }
        }
        for (auto* target : content->findChildren<QAbstractButton*>()) {
            if (!target->isVisible()) {
                continue;
            }
            const QRect place(target->mapTo(content.get(), QPoint(0, 0)), target->size());
            EXPECT_TRUE(panel.contains(place)) << name.toStdString() << ": " << target->text().toStdString();
            EXPECT_GE(target->width(), target->sizeHint().width()) << target->text().toStdString();
        }
        const QString folder = shelltest::screenshotDirectory() + "/panel";
        QDir().mkpath(folder);
        EXPECT_TRUE(content->grab().save(folder + "/" + name + ".png"));
    }

    PanelWorld world;
    std::unique_ptr<PanelModel> model;
    std::unique_ptr<PanelContent> content;
};

} // namespace

TEST_F(PanelWidgetTest, MissingPermissionsShowOnlyTheirWarningsBelowTheUpdateBanner) {
    world.audio.systemAudio = false;
    world.updates.setPendingUpdate(desktop::UpdateItem(*desktop::UpdateVersion::parse("1.2.0"), "1.2.0", "https://x"));
    show();
    EXPECT_TRUE(shows("新しいバージョン 1.2.0 が利用可能です"));
    EXPECT_TRUE(shows("システムオーディオへのアクセスが許可されていません"));
    EXPECT_FALSE(shows("マイクへのアクセスが許可されていません"));
    EXPECT_FALSE(shows("Googleでログイン"));
    EXPECT_FALSE(shows("録音開始"));
    expectNothingClippedAndSave("permissions-missing");

    press("インストール…");
    press("システムオーディオを許可…");
    EXPECT_EQ(world.shell.calls, (std::vector<std::string>{"front", "update check", "front"}));
    EXPECT_EQ(world.launcher.started, std::vector<std::string>{"pavucontrol --tab=3"});

    world.audio.systemAudio = true;
    press("再確認");
    EXPECT_TRUE(shows("録音開始"));
    EXPECT_FALSE(shows("再確認"));
}

TEST_F(PanelWidgetTest, BothPermissionsMissing) {
    paneltest::FakeAudioSystem silent;
    world.permissions = std::make_unique<Permissions>(silent, world.launcher, "/nonexistent/log");
    silent.systemAudio = false;
    show();
    EXPECT_TRUE(shows("マイクへのアクセスが許可されていません"));
    EXPECT_TRUE(shows("システムオーディオへのアクセスが許可されていません"));
    expectNothingClippedAndSave("permissions-both-missing");
    press("マイクを許可…");
    EXPECT_EQ(world.launcher.started, std::vector<std::string>{"pavucontrol --tab=4"});
}

TEST_F(PanelWidgetTest, SignedOutSigningInAndAFailedSignIn) {
    world.access.signedIn_.set(false);
    world.access.phase_.set(ModelSetupPhase::notStarted());
    show();
    EXPECT_TRUE(shows("利用にはGoogleアカウントでのログインが必要です。"));
    EXPECT_FALSE(shows("文字起こしエンジンを準備しています…"));
    EXPECT_EQ(world.access.setupStarts, 0);
    expectNothingClippedAndSave("signed-out");

    press("Googleでログイン");
    ASSERT_NE(button("ログイン中…"), nullptr);
    EXPECT_FALSE(button("ログイン中…")->isEnabled());
    EXPECT_TRUE(shows(texts::signInBrowserHint));
    expectNothingClippedAndSave("signing-in");

    world.access.finishSignIn(std::make_exception_ptr(AuthError::cancelled()));
    settle();
    EXPECT_TRUE(shows("ログインがキャンセルされました"));
    EXPECT_TRUE(button("Googleでログイン")->isEnabled());
    expectNothingClippedAndSave("sign-in-failed");

    // Signed in while the panel is open: straight on to the set-up.
    world.access.signedIn_.set(true);
    settle();
    EXPECT_EQ(world.access.setupStarts, 1);
    EXPECT_TRUE(shows("文字起こしエンジンを準備しています…"));
}

TEST_F(PanelWidgetTest, WithoutASignInNothingAsksForOne) {
    world.access.hasSignIn = false;
    world.access.signedIn_.set(false);
    world.access.phase_.set(ModelSetupPhase::notStarted());
    show();
    EXPECT_FALSE(shows("利用にはGoogleアカウントでのログインが必要です。"));
    EXPECT_EQ(button("Googleでログイン"), nullptr);
    EXPECT_TRUE(shows("文字起こしエンジンを準備しています…"));
    EXPECT_EQ(world.access.setupStarts, 1);
    expectNothingClippedAndSave("no-sign-in-setup");

    world.access.phase_.set(ModelSetupPhase::ready());
    settle();
    EXPECT_TRUE(shows("録音開始"));
}

TEST_F(PanelWidgetTest, TheSetupPhasesAndTheRetry) {
    world.access.phase_.set(ModelSetupPhase::downloading(0.426));
    show();
    EXPECT_TRUE(shows("文字起こしエンジンをダウンロード中…（約630MB、Wi-Fi推奨）"));
    EXPECT_TRUE(shows("42%"));
    auto bars = content->findChildren<QProgressBar*>();
    EXPECT_TRUE(std::any_of(bars.begin(), bars.end(), [](auto* bar) { return bar->isVisible() && bar->value() == 426; }));
    expectNothingClippedAndSave("setup-downloading");

    world.access.phase_.set(ModelSetupPhase::optimizing());
    settle();
    EXPECT_TRUE(shows("このコンピュータ向けに最適化しています…"));
    EXPECT_TRUE(shows("初回のみ数分かかることがあります。次回以降はすぐに使えます。"));
    EXPECT_FALSE(shows("42%"));
    expectNothingClippedAndSave("setup-optimizing");

    world.access.phase_.set(ModelSetupPhase::failed("モデルを読み込めませんでした: ディスクの空きが足りません"));
    settle();
    EXPECT_TRUE(shows("準備に失敗しました"));
    EXPECT_TRUE(shows("モデルを読み込めませんでした: ディスクの空きが足りません"));
    expectNothingClippedAndSave("setup-failed");
    press("再試行");
    EXPECT_EQ(world.access.retries, 1);

    world.access.phase_.set(ModelSetupPhase::ready());
    settle();
    EXPECT_TRUE(shows("録音開始"));
}

TEST_F(PanelWidgetTest, DeviceWarningsInTheRecordingInterface) {
    world.recording.nextDeviceInfo.outputIsBuiltInSpeaker = true;
    world.recording.nextDeviceInfo.inputWasRedirectedFromBluetooth = true;
    world.recording.nextDeviceInfo.inputSampleRateIsLow = true;
    world.recording.nextDeviceInfo.inputSampleRate = 16000.7;
    show();
    EXPECT_TRUE(shows(texts::builtInSpeakerWarning));
    EXPECT_TRUE(shows(texts::bluetoothRedirectNote));
    EXPECT_FALSE(shows(texts::lowQualityMic(16000.7).c_str()));
    expectNothingClippedAndSave("warnings-speaker-bluetooth");

    world.recording.nextDeviceInfo.outputIsBuiltInSpeaker = false;
    world.recording.nextDeviceInfo.inputWasRedirectedFromBluetooth = false;
    world.recording.refreshDeviceInfo();
    settle();
    EXPECT_FALSE(shows(texts::builtInSpeakerWarning));
    EXPECT_TRUE(shows(texts::lowQualityMic(16000.7).c_str()));
    EXPECT_NE(texts::lowQualityMic(16000.7).find("16000Hz"), std::string::npos);
    expectNothingClippedAndSave("warnings-low-quality");
}

TEST_F(PanelWidgetTest, RecordingWithTimeMeterJobsAndFailures) {
    show();
    EXPECT_FALSE(shows(texts::systemAudioNote));
    press("録音開始");
    world.recording.elapsed_.set(75.4);
    world.recording.level_.set(0.2f);
    settle();
    EXPECT_EQ(world.recording.toggles, 1);
    EXPECT_TRUE(shows("録音停止"));
    EXPECT_TRUE(shows("01:15"));
    EXPECT_TRUE(shows(texts::systemAudioNote));
    EXPECT_NEAR(content->recordingInterface().meter()->fraction(), 0.6, 1e-6);
    world.recording.text_.set("自分: 本日はよろしくお願いします。\n相手: こちらこそ、よろしくお願いします。");
    expectNothingClippedAndSave("recording");

    press("録音停止");
    // Assistive technologies read the meter as a value.
    QAccessibleInterface* meter =
        QAccessible::queryAccessibleInterface(content->recordingInterface().meter());
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->role(), QAccessible::ProgressBar);
    EXPECT_EQ(meter->text(QAccessible::Name), "マイク");
    ASSERT_NE(meter->valueInterface(), nullptr);
    EXPECT_NEAR(meter->valueInterface()->currentValue().toDouble(), 60, 1e-4);
    EXPECT_EQ(meter->valueInterface()->maximumValue().toDouble(), 100);
    EXPECT_EQ(meter->text(QAccessible::Value), "60%");
    world.recording.pending_.set(3);
    world.recording.progress_.set("相手を文字起こし中…");
    settle();
    EXPECT_FALSE(shows("01:15"));
    EXPECT_TRUE(shows("相手を文字起こし中…（他2件待機中）"));
    expectNothingClippedAndSave("pending-jobs");
    press("キャンセル");
    EXPECT_EQ(world.recording.cancels, 1);

    world.recording.pending_.set(0);
    world.recording.phase_.set(RecordingPhase::failed("録音を開始できませんでした: マイクが見つかりません"));
    world.recording.error_.set("文字起こしに失敗しました: モデルを読み込めません");
    settle();
    EXPECT_FALSE(shows("キャンセル"));
    EXPECT_TRUE(shows("録音開始"));
    EXPECT_TRUE(shows("録音を開始できませんでした: マイクが見つかりません"));
    EXPECT_TRUE(shows("文字起こしに失敗しました: モデルを読み込めません"));
    expectNothingClippedAndSave("failures");
}

TEST_F(PanelWidgetTest, BothPickersFollowTheSettingAndTheSystem) {
    show();
    QComboBox* mic = picker(0);
    QComboBox* output = picker(1);
    ASSERT_EQ(mic->count(), 3);
    EXPECT_EQ(mic->itemText(0), "自動（Bluetoothなら内蔵マイク）");
    EXPECT_EQ(mic->itemText(2), "内蔵マイク");
    EXPECT_EQ(mic->currentIndex(), 0);
    EXPECT_TRUE(shows("録音に使うマイク: 内蔵マイク"));
    ASSERT_EQ(output->count(), 2);
    EXPECT_EQ(output->currentText(), "USB ヘッドホン");
    expectNothingClippedAndSave("pickers");

    emit mic->activated(2);
    settle();
    EXPECT_EQ(world.settings.preferredInputDeviceUID().value(), "mic-uid");
    EXPECT_FALSE(shows("録音に使うマイク: 内蔵マイク"));

    // A stored microphone that is unplugged: no item shown, the setting kept.
    world.settings.setPreferredInputDeviceUID("unplugged-uid");
    settle();
    EXPECT_EQ(mic->currentIndex(), -1);
    EXPECT_EQ(world.settings.preferredInputDeviceUID().value(), "unplugged-uid");

    const int speakerIndex = output->findText("内蔵スピーカー");
    emit output->activated(speakerIndex);
    settle();
    EXPECT_EQ(world.audio.defaultOutput, world.speakers);
    EXPECT_EQ(output->currentText(), "内蔵スピーカー");

    // The server refuses: the picker goes back to the output in use.
    world.audio.refuseSwitch = true;
    const int phonesIndex = output->findText("USB ヘッドホン");
    output->setCurrentIndex(phonesIndex);
    emit output->activated(phonesIndex);
    settle();
    EXPECT_EQ(output->currentText(), "内蔵スピーカー");
}

TEST_F(PanelWidgetTest, TheTranscriptAreaAndTheHistoryTab) {
    show();
    auto* transcript = content->findChild<QPlainTextEdit*>();
    ASSERT_NE(transcript, nullptr);
    EXPECT_EQ(transcript->placeholderText(), "（文字起こし結果がここに表示されます）");
    EXPECT_FALSE(button("全文コピー")->isEnabled());
    world.recording.text_.set("自分: はい");
    world.recording.text_.set("自分: はい\n相手: どうも");
    settle();
    EXPECT_EQ(transcript->toPlainText(), "自分: はい\n相手: どうも");
    press("全文コピー");
    press("保存先をファイルマネージャで開く");
    EXPECT_EQ(world.shell.calls, (std::vector<std::string>{"copy 自分: はい\n相手: どうも",
                                                            "open " + world.settings.saveDirectory().string()}));
    QTest::mouseClick(content->findChild<QAbstractButton*>("settingsButton"), Qt::LeftButton);
    EXPECT_EQ(world.shell.calls.back(), "settings");

    auto* tabs = content->findChild<QTabBar*>();
    tabs->setCurrentIndex(1);
    settle();
    EXPECT_EQ(model->selectedTab(), PanelModel::Tab::history);
    EXPECT_FALSE(shows("録音開始"));
    EXPECT_TRUE(shows(texts::pastTranscripts));
    ASSERT_NE(content->historyView(), nullptr);
    world.recording.elapsed_.set(3);
    settle();
    EXPECT_TRUE(shows(texts::pastTranscripts));
    expectNothingClippedAndSave("history");
    tabs->setCurrentIndex(0);
    settle();
    EXPECT_TRUE(shows("録音開始"));
    EXPECT_EQ(content->historyView(), nullptr) << "the history lives only while its tab is shown";
}

namespace {

class RecordingOpener final : public FolderOpener {
public:
    void open(const std::filesystem::path& folder) override { opened.push_back(folder); }
    std::vector<std::filesystem::path> opened;
};

} // namespace

TEST(QtPanelShell, CopiesToTheClipboardAndOpensThroughTheOpener) {
    RecordingOpener opener;
    int settings = 0;
    int checks = 0;
    QtPanelShell shell({[] { return nullptr; }, [&] { ++settings; }, [&] { ++checks; }}, opener);
    QGuiApplication::clipboard()->setText("前の内容");
    shell.copyText("自分: はい\n相手: どうも");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "自分: はい\n相手: どうも");
    shell.openFolder("/home/user/Documents/ベルモラ");
    EXPECT_EQ(opener.opened, std::vector<std::filesystem::path>{"/home/user/Documents/ベルモラ"});
    shell.bringToFront();
    shell.openSettings();
    shell.checkForUpdates();
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(checks, 1);
}
