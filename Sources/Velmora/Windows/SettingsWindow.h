#pragma once
// The settings window. Until the full form exists it holds the update check and the application's
// restart and quit.

#include "Velmora/Lifecycle/AppLifecycle.h"
#include "VelmoraCore/Updates/Updater.h"

#include <QWidget>
#include <functional>

namespace velmora::app {

class SettingsWindow final : public QWidget {
public:
    static constexpr int width = 480;

    /// `updater` and `lifecycle` must outlive the window; `quit` ends the application.
    SettingsWindow(Updater& updater, AppLifecycle& lifecycle, std::function<void()> quit);

    /// Shows the window raised and active.
    void present();
};

} // namespace velmora::app
