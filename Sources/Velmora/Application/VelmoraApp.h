#pragma once
// The application: creates and owns every long-lived object for the life of the process, in this order
// — the sign-in session, the application delegate, the settings (and the save folder), the model set-up
// gate, the recording session, the update store, its gentle delegate and the updater (started at once), then the delegate's
// address action — and the two scenes: the tray icon with its label, whose click opens the panel, and
// the settings window. The global hot key is created the first time the panel comes on screen. Main
// thread only; needs the QApplication.

#include "Platform/Desktop/UrlHandling/XdgBrowserOpener.h"
#include "Velmora/Application/LaunchOptions.h"
#include "Velmora/Application/QtMainThreadDispatcher.h"
#include "Velmora/HotKeys/HotKeyManager.h"
#include "Velmora/Label/TrayLabel.h"
#include "Velmora/Lifecycle/AppDelegate.h"
#include "Velmora/Lifecycle/AppLifecycle.h"
#include "Velmora/Lifecycle/InstallAlerts.h"
#include "Velmora/Lifecycle/InstallLocationCheck.h"
#include "Velmora/Panel/PanelModel.h"
#include "Velmora/Panel/Widgets/FolderOpener.h"
#include "Velmora/Recording/RecordingControl.h"
#include "Velmora/Updates/DialogUpdatePresenter.h"
#include "Velmora/Windows/PanelWindow.h"
#include "Velmora/Windows/SettingsWindow.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/ModelSetup/ModelSetupGate.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Updates/GentleUpdateDelegate.h"
#include "VelmoraCore/Updates/StandardUserDriver.h"
#include "VelmoraCore/Updates/UpdateAvailabilityStore.h"
#include "VelmoraCore/Updates/Updater.h"

#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace velmora::app {

class SingleInstance;

class VelmoraApp {
public:
    /// What the application is built on; tests replace parts of it.
    struct Environment {
        std::shared_ptr<DefaultsStore> defaults;
        std::function<std::shared_ptr<AuthSession>(std::shared_ptr<MainThreadDispatcher>)> authSession;
        /// The recording session on the settings and the main thread; may return none (nothing records, the toggle does
        /// nothing, the label shows no recording).
        std::function<std::shared_ptr<RecordingControl>(AppSettings&, MainThreadDispatcher&)> recordingSession;
        std::function<std::unique_ptr<InstallAlerts>()> installAlerts;
        InstallLocationCheck::Paths installPaths;
        AppLifecycle::ProcessControl processControl;
        /// The X display of the hot key; empty means $DISPLAY.
        std::string hotKeyDisplay;
        /// Whether the desktop has a tray; none asks Qt.
        std::function<bool()> hasTray;

        /// The user's: the standard defaults file, the shared sign-in session, message boxes, $DISPLAY.
        static Environment standard();
    };

    /// `instance` (the single-instance socket; may be null) must outlive the application.
    VelmoraApp(Environment environment, LaunchOptions options, SingleInstance* instance);
    ~VelmoraApp();
    VelmoraApp(const VelmoraApp&) = delete;
    VelmoraApp& operator=(const VelmoraApp&) = delete;

    /// Once the event loop runs: the install-location check, then the command line's addresses and
    /// the panel when asked for (or when there is no tray to open it from).
    void didFinishLaunching();

    void togglePanel();
    /// The panel beside the tray icon, raised and activated (a later start of the program asks this).
    void showPanel();
    void openSettings();

    /// Saves panel.png, settings.png and label.png into `directory` (created when missing). False, with
    /// the reason on standard error, when a file cannot be written.
    bool saveScreenshots(const QString& directory);

    MainThreadDispatcher& mainThread() { return *mainThread_; }
    AppSettings& settings() { return *settings_; }
    ModelSetupGate& modelSetupGate() { return *modelSetupGate_; }
    /// None when the environment gave no recording session.
    RecordingControl* recordingSession() { return session_.get(); }
    AppDelegate& appDelegate() { return *appDelegate_; }
    AppLifecycle& lifecycle() { return *lifecycle_; }
    UpdateAvailabilityStore& updateAvailability() { return *updateAvailability_; }
    QSystemTrayIcon& trayIcon() { return *trayIcon_; }
    PanelWindow& panel() { return *panel_; }
    SettingsWindow& settingsWindow() { return *settingsWindow_; }
    /// The record tab's model; none when the environment gave no core recording session.
    PanelModel* panelModel() { return panelModel_.get(); }
    /// None until the panel has come on screen once.
    HotKeyManager* hotKeyManager() { return hotKeyManager_.get(); }

private:
    void buildScenes();
    void buildPanelContent();
    void panelDidAppear();
    void presentBesideTrayIcon(int triesLeft);

    Environment environment_;
    LaunchOptions options_;
    std::shared_ptr<QtMainThreadDispatcher> mainThread_;

    std::shared_ptr<AuthSession> authSession_;
    std::unique_ptr<HotKeyManager> hotKeyManager_;
    std::unique_ptr<AppLifecycle> lifecycle_;
    std::unique_ptr<InstallAlerts> installAlerts_;
    std::unique_ptr<InstallLocationCheck> installCheck_;
    std::unique_ptr<AppDelegate> appDelegate_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<ModelSetupGate> modelSetupGate_;
    std::shared_ptr<RecordingControl> session_;
    std::shared_ptr<UpdateAvailabilityStore> updateAvailability_;
    std::unique_ptr<GentleUpdateDelegate> gentleUpdateDelegate_;
    std::unique_ptr<desktop::XdgBrowserOpener> browser_;
    std::unique_ptr<DialogUpdatePresenter> updatePresenter_;
    std::unique_ptr<StandardUserDriver> userDriver_;
    std::unique_ptr<Updater> updater_;

    // The panel's model and what it stands on; none when there is no core recording session to show.
    std::unique_ptr<Permissions> permissions_;
    std::unique_ptr<PanelRecording> panelRecording_;
    std::unique_ptr<PanelAccess> panelAccess_;
    std::unique_ptr<FolderOpener> folderOpener_;
    std::unique_ptr<PanelShell> panelShell_;
    std::unique_ptr<PanelModel> panelModel_;

    std::unique_ptr<PanelWindow> panel_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::unique_ptr<TrayLabel> trayLabel_;
};

} // namespace velmora::app
