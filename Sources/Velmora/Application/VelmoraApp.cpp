#include "Velmora/Application/VelmoraApp.h"

#include "Velmora/Label/MenuBarLabel.h"
#include "Velmora/Lifecycle/MessageBoxInstallAlerts.h"
#include "Velmora/Panel/CorePanelAccess.h"
#include "Velmora/Panel/SessionPanelRecording.h"
#include "Velmora/Panel/Widgets/DesktopFolderOpener.h"
#include "Velmora/Panel/Widgets/PanelContent.h"
#include "Velmora/Panel/Widgets/QtPanelShell.h"
#include "Velmora/Recording/RecordToggle.h"
#include "Velmora/Recording/RecordingSessionControl.h"
#include "Velmora/Updates/UpdaterConfiguration.h"
#include "Velmora/Windows/PlaceholderPanelContent.h"

#include <QCoreApplication>
#include <QDir>
#include <QLayout>
#include <QTimer>
#include <iostream>

namespace velmora::app {

namespace {

// How long a start with the panel waits for the tray host to place the icon: 50 ms at a time, 3 s in all.
constexpr int trayPlacementPollMs = 50;
constexpr int trayPlacementTries = 60;

// An icon not yet embedded reports its own window's size at the screen's origin.
bool iconIsPlaced(const QRect& icon) {
    return icon.isValid() && icon.topLeft() != QPoint(0, 0);
}

} // namespace

VelmoraApp::Environment VelmoraApp::Environment::standard() {
    Environment environment;
    environment.defaults = DefaultsStore::standard();
    environment.authSession = [](std::shared_ptr<MainThreadDispatcher> mainThread) {
        return AuthSession::shared(std::move(mainThread));
    };
    environment.recordingSession = [](AppSettings& settings, MainThreadDispatcher& mainThread) {
        return std::make_shared<RecordingSessionControl>(std::make_unique<RecordingSession>(settings, mainThread));
    };
    environment.installAlerts = [] { return std::make_unique<MessageBoxInstallAlerts>(); };
    environment.installPaths = InstallLocationCheck::Paths::current();
    environment.processControl = AppLifecycle::ProcessControl::system();
    return environment;
}

VelmoraApp::VelmoraApp(Environment environment, LaunchOptions options, SingleInstance* instance)
    : environment_(std::move(environment)), options_(std::move(options)),
      mainThread_(std::make_shared<QtMainThreadDispatcher>()) {
    // The sign-in session, the process-wide one.
    authSession_ = environment_.authSession(mainThread_);

    // The application delegate, with the install-location check it runs at launch.
    QStringList restartArguments;
    if (options_.noInstallCheck) {
        restartArguments << QStringLiteral("--no-install-check");
    }
    lifecycle_ = std::make_unique<AppLifecycle>(instance, environment_.installPaths.executable, restartArguments,
                                                environment_.processControl);
    if (!options_.noInstallCheck) {
        installAlerts_ = environment_.installAlerts();
        installCheck_ = std::make_unique<InstallLocationCheck>(environment_.installPaths, *installAlerts_, *lifecycle_);
    }
    appDelegate_ = std::make_unique<AppDelegate>(installCheck_.get());

    // The settings on the defaults store; a save folder that cannot be made now is made again when a
    // recording starts.
    settings_ = std::make_unique<AppSettings>(environment_.defaults);
    try {
        settings_->ensureSaveDirectoryExists();
    } catch (const std::exception&) {
    }

    // The first-run model set-up (started only by the panel), then the recording session.
    modelSetupGate_ = std::make_unique<ModelSetupGate>(*settings_, environment_.defaults, *mainThread_);
    session_ = environment_.recordingSession(*settings_, *mainThread_);

    // Updates: the store, the gentle delegate on it, and the updater, started before any window exists.
    updateAvailability_ = std::make_shared<UpdateAvailabilityStore>();
    gentleUpdateDelegate_ = std::make_unique<GentleUpdateDelegate>(updateAvailability_, *mainThread_);
    browser_ = std::make_unique<desktop::XdgBrowserOpener>();
    updatePresenter_ = std::make_unique<DialogUpdatePresenter>(*browser_);
    userDriver_ = std::make_unique<StandardUserDriver>(*gentleUpdateDelegate_, *updatePresenter_);
    updater_ = std::make_unique<Updater>(*mainThread_, applicationUpdaterConfiguration(), *userDriver_);
    updater_->start();

    // Every address opened on the application goes to the sign-in session, which decides what it means.
    appDelegate_->onURLReceived = [auth = authSession_](const std::string& url) { auth->handleCallbackURL(url); };

    buildScenes();
}

VelmoraApp::~VelmoraApp() = default;

void VelmoraApp::buildScenes() {
    const bool hasTray =
        environment_.hasTray ? environment_.hasTray() : QSystemTrayIcon::isSystemTrayAvailable();
    panel_ = std::make_unique<PanelWindow>(hasTray);
    buildPanelContent();
    panel_->onAppear = [this] { panelDidAppear(); };

    settingsWindow_ = std::make_unique<SettingsWindow>(*settings_, *updater_, *authSession_, *lifecycle_,
                                                       environment_.processControl.terminate);

    trayIcon_ = std::make_unique<QSystemTrayIcon>();
    trayLabel_ = std::make_unique<TrayLabel>(*trayIcon_, session_, *updateAvailability_);
    QObject::connect(trayIcon_.get(), &QSystemTrayIcon::activated, trayIcon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             togglePanel();
                         }
                     });
    if (hasTray) {
        trayIcon_->show();
    }
}

void VelmoraApp::buildPanelContent() {
    auto* core = dynamic_cast<RecordingSessionControl*>(session_.get());
    if (core == nullptr) {
        // Nothing records: the panel offers the settings only.
        panel_->setContent(new PlaceholderPanelContent([this] { openSettings(); }));
        return;
    }
    permissions_ = std::make_unique<Permissions>(Permissions::standard());
    panelRecording_ = std::make_unique<SessionPanelRecording>(core->session(), *session_);
    panelAccess_ = std::make_unique<CorePanelAccess>(authSession_, *modelSetupGate_);
    folderOpener_ = std::make_unique<DesktopFolderOpener>();
    QtPanelShell::Actions actions;
    actions.window = [this]() -> QWidget* { return panel_.get(); };
    actions.openSettings = [this] { openSettings(); };
    actions.checkForUpdates = [this] { updater_->checkForUpdates(); };
    panelShell_ = std::make_unique<QtPanelShell>(std::move(actions), *folderOpener_);
    panelModel_ = std::make_unique<PanelModel>(PanelModel::Dependencies{
        *panelRecording_, *panelAccess_, *settings_, *updateAvailability_, *permissions_, AudioSystem::shared(),
        *panelShell_});
    panel_->setContent(new PanelContent(*panelModel_));
}

void VelmoraApp::didFinishLaunching() {
    appDelegate_->applicationDidFinishLaunching();
    appDelegate_->openURLs(options_.urls);
    if (!panel_->isBesideTray()) {
        panel_->present();
    } else if (options_.showPanel) {
        presentBesideTrayIcon(trayPlacementTries);
    }
}

void VelmoraApp::presentBesideTrayIcon(int triesLeft) {
    // The tray host places the icon a moment after it is shown; until then the icon has no place on
    // screen, and a panel put in the corner would cover the tray. It goes where a click would put it.
    const QRect icon = trayIcon_->geometry();
    if (iconIsPlaced(icon) || triesLeft <= 0) {
        panel_->present(iconIsPlaced(icon) ? icon : QRect());
        return;
    }
    QTimer::singleShot(trayPlacementPollMs, trayIcon_.get(),
                       [this, triesLeft] { presentBesideTrayIcon(triesLeft - 1); });
}

void VelmoraApp::panelDidAppear() {
    if (panelModel_) {
        panelModel_->appear();
    }
    if (hotKeyManager_) {
        return;
    }
    // The trigger holds the session weakly: the hot key never keeps it alive.
    hotKeyManager_ = std::make_unique<HotKeyManager>(
        *mainThread_, makeRecordToggleTrigger(session_, *mainThread_), environment_.hotKeyDisplay);
}

void VelmoraApp::togglePanel() {
    panel_->toggle(trayIcon_->geometry());
}

void VelmoraApp::showPanel() {
    panel_->present(trayIcon_->geometry());
}

void VelmoraApp::openSettings() {
    settingsWindow_->present();
}

bool VelmoraApp::saveScreenshots(const QString& directory) {
    if (!QDir().mkpath(directory)) {
        std::cerr << "velmora: cannot create " << directory.toStdString() << std::endl;
        return false;
    }
    auto grab = [](QWidget& widget) {
        widget.ensurePolished();
        if (widget.layout() != nullptr) {
            widget.layout()->activate();
        }
        return widget.grab();
    };
    const QDir folder(directory);
    const std::pair<QString, QPixmap> pictures[] = {
        {QStringLiteral("panel.png"), grab(*panel_)},
        {QStringLiteral("settings.png"), grab(*settingsWindow_)},
        {QStringLiteral("label.png"), trayIcon_->icon().pixmap(MenuBarLabel::side)},
    };
    bool saved = true;
    for (const auto& [name, picture] : pictures) {
        if (!picture.save(folder.filePath(name))) {
            std::cerr << "velmora: cannot write " << folder.filePath(name).toStdString() << std::endl;
            saved = false;
        }
    }
    return saved;
}

} // namespace velmora::app
