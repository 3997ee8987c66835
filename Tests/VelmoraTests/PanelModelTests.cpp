#include "PanelFakes.h"
#include "Velmora/Panel/PanelModel.h"
#include "Velmora/Panel/PanelTexts.h"
#include "OrvaneCore/Errors/CancellationError.h"
#include "Platform/Desktop/Keychain/MemoryKeychain.h"
#include "Velmora/Panel/CorePanelAccess.h"
#include "VelmoraCore/Auth/AuthError.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCoreTests/AuthTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace velmora;
using namespace velmora::app;
using paneltest::PanelWorld;
using Gate = PanelModel::Gate;
using Note = PanelModel::DeviceWarnings::Note;
using Indicator = PanelModel::SetupRows::Indicator;

TEST(PanelTexts, NumbersAreTruncatedAndNoReadingEndsTheProgram) {
    EXPECT_EQ(texts::wholeNumber(16000.9), 16000);
    EXPECT_EQ(texts::wholeNumber(-2.7), -2);
    EXPECT_EQ(texts::wholeNumber(std::nan("")), 0);
    EXPECT_EQ(texts::wholeNumber(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(texts::wholeNumber(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(texts::wholeNumber(-1e300), std::numeric_limits<std::int64_t>::min());

    EXPECT_EQ(texts::downloadPercent(0.426), "42%");
    EXPECT_EQ(texts::downloadPercent(0.999), "99%");
    EXPECT_EQ(texts::downloadPercent(1.0), "100%");
    EXPECT_EQ(texts::downloadPercent(std::nan("")), "0%");
    // The rate in the warning is the truncated one.
    EXPECT_NE(texts::lowQualityMic(16000.99).find("（16000Hz）"), std::string::npos);
}

TEST(PanelTexts, TheDesktopIsNamedAsALinuxUserSeesIt) {
    EXPECT_STREQ(texts::setupOptimizing, "このコンピュータ向けに最適化しています…");
    EXPECT_STREQ(texts::outputNote, "出力を変えるとこのコンピュータ全体の出力先が切り替わります。");
    EXPECT_STREQ(texts::openSaveFolder, "保存先をファイルマネージャで開く");
    EXPECT_STREQ(texts::openInFileManager, "ファイルマネージャで開く");
    const std::string warning = texts::lowQualityMic(16000);
    EXPECT_NE(warning.find("Hz）で動作しています。Bluetoothデバイスをマイクとして使うと自動でこうなり、文字起こし精度が落ちます。"
                           "サウンド設定の「入力」で内蔵マイクなど別の入力に切り替えることを推奨します（出力はBluetoothのままで構いません）。"),
              std::string::npos)
        << warning;
    for (const std::string& text : {warning, std::string(texts::setupOptimizing), std::string(texts::outputNote)}) {
        EXPECT_EQ(text.find("Mac"), std::string::npos) << text;
        EXPECT_EQ(text.find("システム設定"), std::string::npos) << text;
    }
}

TEST(PanelTexts, TheStatusCountsTheJobsBehindTheRunningOne) {
    EXPECT_EQ(texts::transcriptionStatusText("", 1), "文字起こし中…");
    EXPECT_EQ(texts::transcriptionStatusText("", 3), "文字起こし中…（他2件待機中）");
    EXPECT_EQ(texts::transcriptionStatusText("自分を文字起こし中…", 4), "自分を文字起こし中…（他3件待機中）");
    EXPECT_EQ(texts::transcriptionStatusText("変換中…", 1), "変換中…");
}

TEST(PanelModelDecisions, DeviceWarningsAndTheBluetoothNoteBeforeTheLowRate) {
    DeviceInfo info;
    EXPECT_EQ(PanelModel::deviceWarnings(info), (PanelModel::DeviceWarnings{false, Note::none}));
    info.inputSampleRateIsLow = true;
    EXPECT_EQ(PanelModel::deviceWarnings(info), (PanelModel::DeviceWarnings{false, Note::lowQualityMic}));
    info.inputWasRedirectedFromBluetooth = true;
    info.outputIsBuiltInSpeaker = true;
    EXPECT_EQ(PanelModel::deviceWarnings(info), (PanelModel::DeviceWarnings{true, Note::bluetoothRedirect}));
}

TEST(PanelModelDecisions, SetupRowsForEveryPhase) {
    auto rows = PanelModel::setupRows(ModelSetupPhase::notStarted());
    EXPECT_EQ(rows.indicator, Indicator::spinner);
    EXPECT_EQ(rows.caption, texts::setupPreparing);
    EXPECT_EQ(rows.detail, "");

    rows = PanelModel::setupRows(ModelSetupPhase::downloading(0.426));
    EXPECT_EQ(rows.indicator, Indicator::bar);
    EXPECT_DOUBLE_EQ(rows.barValue, 0.426);
    EXPECT_EQ(rows.caption, texts::setupDownloading);
    EXPECT_EQ(rows.detail, "42%");

    rows = PanelModel::setupRows(ModelSetupPhase::downloading(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(rows.barValue, 0);
    EXPECT_EQ(rows.detail, "0%");

    rows = PanelModel::setupRows(ModelSetupPhase::optimizing());
    EXPECT_EQ(rows.indicator, Indicator::spinner);
    EXPECT_EQ(rows.detail, texts::setupOptimizingNote);

    rows = PanelModel::setupRows(ModelSetupPhase::failed("ディスクがいっぱいです"));
    EXPECT_EQ(rows.indicator, Indicator::failure);
    EXPECT_EQ(rows.caption, "準備に失敗しました");
    EXPECT_EQ(rows.detail, "ディスクがいっぱいです");
    EXPECT_TRUE(rows.retryButton);
}

TEST(PanelModelDecisions, TheMeterIsFullAtAThirdOfFullScale) {
    EXPECT_NEAR(PanelModel::meterFraction(0.2f), 0.6, 1e-6);
    EXPECT_NEAR(PanelModel::meterFraction(0.1f), 0.3, 1e-6);
    EXPECT_EQ(PanelModel::meterFraction(0.34f), 1.0);
    EXPECT_EQ(PanelModel::meterFraction(0.5f), 1.0);
    EXPECT_EQ(PanelModel::meterFraction(0.0f), 0.0);
    EXPECT_EQ(PanelModel::meterFraction(-0.5f), 0.0);
    EXPECT_EQ(PanelModel::meterFraction(std::numeric_limits<float>::quiet_NaN()), 0.0);
    EXPECT_EQ(PanelModel::meterFraction(std::numeric_limits<float>::infinity()), 1.0);
}

// Each gate hides everything after it, in the order permissions, sign-in, set-up.
TEST(PanelModelGates, TheFirstUnmetConditionDecides) {
    PanelWorld world;
    world.audio.systemAudio = false;
    world.access.signedIn_.set(false);
    world.access.phase_.set(ModelSetupPhase::notStarted());
    auto model = world.makeModel();
    EXPECT_EQ(model->micPermission(), PermissionStatus::granted);
    EXPECT_EQ(model->screenPermission(), PermissionStatus::denied);
    EXPECT_EQ(model->gate(), Gate::permissions);

    // Granted meanwhile: seen only after the re-check.
    world.audio.systemAudio = true;
    EXPECT_EQ(model->gate(), Gate::permissions);
    model->recheckPermissions();
    EXPECT_EQ(model->gate(), Gate::signIn);

    world.access.signedIn_.set(true);
    EXPECT_EQ(model->gate(), Gate::modelSetup);
    world.access.phase_.set(ModelSetupPhase::ready());
    EXPECT_EQ(model->gate(), Gate::recording);

    world.access.signedIn_.set(false);
    EXPECT_EQ(model->gate(), Gate::signIn);
}

TEST(PanelModelGates, WithoutASignInThePermissionsLeadStraightToTheSetup) {
    PanelWorld world;
    world.access.hasSignIn = false;
    world.access.signedIn_.set(false);
    world.access.phase_.set(ModelSetupPhase::notStarted());
    world.audio.systemAudio = false;
    auto model = world.makeModel();
    EXPECT_EQ(model->gate(), Gate::permissions);

    world.audio.systemAudio = true;
    model->appear();
    EXPECT_EQ(model->gate(), Gate::modelSetup);
    EXPECT_EQ(world.access.setupStarts, 1) << "signed out, and yet there is nothing to sign in to";
    world.access.phase_.set(ModelSetupPhase::ready());
    EXPECT_EQ(model->gate(), Gate::recording);
}

// The real sign-in session and set-up gate behind the panel: the build's address (none by default) or
// one handed in decides whether there is a sign-in gate.
TEST(PanelModelGates, TheCoreSignInDecidesFromTheAddressItWasGiven) {
    PanelWorld world;
    auto loop = std::make_shared<PlainMainLoop>(PlainMainLoop::Clock::manual); // never run: no set-up runs
    ModelSetupGate setup(world.settings, std::make_shared<DefaultsStore>(), *loop);
    auto gateWith = [&](std::optional<net::Url> address) {
        AuthSession::Dependencies dependencies;
        dependencies.mainThread = loop;
        dependencies.keychain = std::make_shared<desktop::MemoryKeychain>();
        dependencies.browser = std::make_shared<authtest::RecordingBrowser>();
        dependencies.notifications = std::make_shared<authtest::RecordingNotifications>();
        if (address) {
            dependencies.baseURL = address;
        }
        CorePanelAccess access(AuthSession::create(std::move(dependencies)), setup);
        PanelModel model({world.recording, access, world.settings, world.updates, *world.permissions, world.audio,
                          world.shell});
        return model.gate();
    };
    EXPECT_EQ(gateWith(net::Url::parse("https://sign-in.test/")), Gate::signIn);
    if (!AuthSession::baseURL()) {
        EXPECT_EQ(gateWith(std::nullopt), Gate::modelSetup) << "signed out, with nothing to sign in to";
    }
}

TEST(PanelModelGates, TheAppearanceAndSigningInStartTheSetupOnlyWhenSignedIn) {
    PanelWorld world;
    world.access.signedIn_.set(false);
    world.access.phase_.set(ModelSetupPhase::notStarted());
    auto model = world.makeModel();
    model->appear();
    EXPECT_EQ(world.access.setupStarts, 0);

    unsigned parts = 0;
    model->onChange = [&](unsigned changed) { parts |= changed; };
    world.access.signedIn_.set(true);
    EXPECT_EQ(world.access.setupStarts, 1);
    EXPECT_TRUE(parts & PanelModel::gatePart);
    // Another write of the same value is no change; signing out starts nothing.
    world.access.signedIn_.set(true);
    world.access.signedIn_.set(false);
    EXPECT_EQ(world.access.setupStarts, 1);

    world.access.signedIn_.set(true);
    model->appear();
    EXPECT_EQ(world.access.setupStarts, 3);
    model->retrySetup();
    EXPECT_EQ(world.access.retries, 1);
}

TEST(PanelModelSignIn, PressingClearsTheErrorAndOnlyARealFailureIsShown) {
    PanelWorld world;
    world.access.signedIn_.set(false);
    auto model = world.makeModel();

    model->signIn();
    EXPECT_TRUE(model->isSigningIn());
    world.access.finishSignIn(std::make_exception_ptr(AuthError::cancelled()));
    EXPECT_FALSE(model->isSigningIn());
    EXPECT_EQ(model->signInError(), "ログインがキャンセルされました");

    model->signIn();
    EXPECT_TRUE(model->isSigningIn());
    EXPECT_EQ(model->signInError(), std::nullopt);
    world.access.finishSignIn(std::make_exception_ptr(orvane::CancellationError()));
    EXPECT_FALSE(model->isSigningIn());
    EXPECT_EQ(model->signInError(), std::nullopt);

    model->signIn();
    world.access.finishSignIn();
    EXPECT_FALSE(model->isSigningIn());
    EXPECT_EQ(model->signInError(), std::nullopt);

    // An answer after the panel is gone touches nothing.
    model->signIn();
    model.reset();
    world.access.finishSignIn(std::make_exception_ptr(AuthError::message("遅すぎました")));
    EXPECT_EQ(world.access.signIns, 4);
}

TEST(PanelModelDevices, TheAppearanceReadsTheListsAndTheSystemOutput) {
    PanelWorld world;
    auto model = world.makeModel();
    EXPECT_TRUE(model->outputDevices().empty());
    model->appear();
    ASSERT_EQ(model->inputDevices().size(), 1u);
    EXPECT_EQ(model->inputDevices()[0].name, "内蔵マイク");
    ASSERT_EQ(model->outputDevices().size(), 2u);
    EXPECT_EQ(model->selectedOutputUID(), "phones-uid");
    EXPECT_EQ(world.recording.refreshes, 1);

    world.audio.defaultOutput = 0;
    model->appear();
    EXPECT_EQ(model->selectedOutputUID(), "");
}

TEST(PanelModelDevices, TheOutputShownIsTheOneTheSystemUses) {
    PanelWorld world;
    auto model = world.makeModel();
    model->appear();

    model->selectOutput("speaker-uid");
    EXPECT_EQ(world.audio.defaultOutput, world.speakers);
    EXPECT_EQ(model->selectedOutputUID(), "speaker-uid");
    EXPECT_EQ(world.recording.refreshes, 2);

    // A refused switch leaves the picker on the output still in use.
    world.audio.refuseSwitch = true;
    model->selectOutput("phones-uid");
    EXPECT_EQ(model->selectedOutputUID(), "speaker-uid");
    EXPECT_EQ(world.recording.refreshes, 3);

    // Unplugged since the list was read, or nothing chosen: nothing happens.
    world.audio.refuseSwitch = false;
    model->selectOutput("gone-uid");
    model->selectOutput("");
    EXPECT_EQ(world.audio.switches, 1);
    EXPECT_EQ(world.recording.refreshes, 3);
}

TEST(PanelModelDevices, TheMicrophoneChoiceIsStoredAndTheLineInUseFollowsIt) {
    PanelWorld world;
    auto model = world.makeModel();
    model->appear();
    EXPECT_EQ(model->micSelection(), "");
    EXPECT_EQ(model->micInUseText(), "録音に使うマイク: 内蔵マイク");

    unsigned parts = 0;
    model->onChange = [&](unsigned changed) { parts |= changed; };
    model->selectMicrophone("unplugged-uid");
    EXPECT_EQ(world.settings.preferredInputDeviceUID().value(), "unplugged-uid");
    EXPECT_EQ(model->micSelection(), "unplugged-uid");
    EXPECT_EQ(model->micInUseText(), "");
    EXPECT_EQ(world.recording.currentDeviceInfo().value().inputName, "選んだ unplugged-uid");
    EXPECT_EQ(parts, PanelModel::devicePart);

    model->selectMicrophone("");
    EXPECT_EQ(world.settings.preferredInputDeviceUID().value(), std::nullopt);
    EXPECT_EQ(model->micInUseText(), "録音に使うマイク: 内蔵マイク");
}

TEST(PanelModelControls, ATickChangesOnlyTheMeterPart) {
    PanelWorld world;
    auto model = world.makeModel();
    model->toggleRecording();
    std::vector<unsigned> changes;
    model->onChange = [&](unsigned parts) { changes.push_back(parts); };
    world.recording.elapsed_.set(0.1);
    world.recording.level_.set(0.2f);
    EXPECT_EQ(changes, (std::vector<unsigned>{PanelModel::meterPart, PanelModel::meterPart}));

    changes.clear();
    world.recording.text_.set("自分: こんにちは");
    world.updates.setPendingUpdate(desktop::UpdateItem(*desktop::UpdateVersion::parse("1.2.0"), "1.2.0", "https://x"));
    EXPECT_EQ(changes, (std::vector<unsigned>{PanelModel::transcriptPart, PanelModel::updatePart}));
    EXPECT_EQ(model->updateBannerText(), "新しいバージョン 1.2.0 が利用可能です");

    // Nothing is told once the panel is gone.
    model.reset();
    world.recording.elapsed_.set(0.2);
    EXPECT_EQ(world.recording.elapsed_.subscriberCount(), 0u);
}
