#include "Velmora/Panel/Widgets/QtPanelShell.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QWidget>

namespace velmora::app {

void QtPanelShell::bringToFront() {
    QWidget* window = actions_.window ? actions_.window() : nullptr;
    if (window != nullptr && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

void QtPanelShell::copyText(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

void QtPanelShell::openSettings() {
    if (actions_.openSettings) {
        actions_.openSettings();
    }
}

void QtPanelShell::checkForUpdates() {
    if (actions_.checkForUpdates) {
        actions_.checkForUpdates();
    }
}

} // namespace velmora::app
