// velmora: the application. A start while it already runs hands the command line's addresses (or a
// request to show the panel) to the running one and exits.

#include "Shared/StandardOptions.h"
#include "Velmora/Application/LaunchOptions.h"
#include "Velmora/Application/SingleInstance.h"
#include "Velmora/Application/VelmoraApp.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/Auth/CallbackSchemeRegistration.h"

#include <QApplication>
#include <QTimer>
#include <iostream>
#include <stdexcept>

using namespace velmora::app;

int main(int argc, char** argv) {
    // Answered before the application exists, so they need no display.
    if (auto status = tools::answerStandardOption("velmora", {argv + 1, argv + argc}, LaunchOptions::usage)) {
        return *status;
    }
    // Checked before the application exists too: without a display Qt would abort first.
    LaunchOptions options;
    try {
        options = LaunchOptions::parseCommandLine(argc, argv);
    } catch (const std::invalid_argument& error) {
        std::cerr << "velmora: " << error.what() << "\n" << LaunchOptions::usage << std::endl;
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QApplication::setApplicationDisplayName(QStringLiteral("ベルモラ"));
    // A tray application: closing its windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    auto sayWhenThereIsNoTray = [] {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            std::cerr << "velmora: no system tray here; the panel opens as a window" << std::endl;
        }
    };

    if (options.screenshotDirectory) {
        sayWhenThereIsNoTray();
        options.noInstallCheck = true;
        VelmoraApp velmora(VelmoraApp::Environment::standard(), options, nullptr);
        return velmora.saveScreenshots(*options.screenshotDirectory) ? 0 : 1;
    }

    SingleInstance instance;
    switch (instance.claim(options.urls)) {
    case SingleInstance::Role::handedOver:
        return 0;
    case SingleInstance::Role::failed:
        return 1;
    case SingleInstance::Role::first:
        break;
    }
    sayWhenThereIsNoTray();
    if (velmora::AuthSession::baseURL()) {
        velmora::registerCallbackScheme(); // the sign-in's answer comes back through the scheme
    }

    VelmoraApp velmora(VelmoraApp::Environment::standard(), options, &instance);
    instance.setHandlers({[&velmora](const QStringList& urls) { velmora.appDelegate().openURLs(urls); },
                          [&velmora] { velmora.showPanel(); }});
    QTimer::singleShot(0, &application, [&velmora] { velmora.didFinishLaunching(); });
    return QApplication::exec();
}
