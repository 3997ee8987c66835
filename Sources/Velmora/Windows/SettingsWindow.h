#pragma once
// The settings window: the settings form in a window of its own, brought to the front when opened.

#include "Velmora/Settings/SettingsView.h"

#include <QWidget>
#include <functional>

namespace velmora::app {

class SettingsWindow final : public QWidget {
public:
    static constexpr int width = SettingsView::width;

    /// Everything must outlive the window; `quit` ends the application.
    SettingsWindow(AppSettings& settings, Updater& updater, AuthSession& authSession, AppLifecycle& lifecycle,
                   std::function<void()> quit);

    SettingsView& view() const { return *view_; }

    /// Shows the window raised and active.
    void present();

private:
    SettingsView* view_;
};

} // namespace velmora::app
