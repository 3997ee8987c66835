#include "Velmora/Windows/SettingsWindow.h"

#include <QVBoxLayout>

namespace velmora::app {

SettingsWindow::SettingsWindow(AppSettings& settings, Updater& updater, AuthSession& authSession,
                               AppLifecycle& lifecycle, std::function<void()> quit) {
    setWindowTitle(QStringLiteral("設定"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The window's height follows the form's (an account section comes and goes).
    layout->setSizeConstraint(QLayout::SetFixedSize);
    view_ = new SettingsView(settings, updater, authSession, lifecycle, std::move(quit), this);
    layout->addWidget(view_);
}

void SettingsWindow::present() {
    show();
    raise();
    activateWindow();
}

} // namespace velmora::app
