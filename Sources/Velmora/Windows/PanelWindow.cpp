#include "Velmora/Windows/PanelWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace velmora::app {

PanelWindow::PanelWindow(bool besideTray) : besideTray_(besideTray) {
    setWindowTitle(QStringLiteral("ベルモラ"));
    if (besideTray_) {
        // Not a popup: a popup grabs the keyboard, and a grabbed keyboard hides the global hot key.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    }
    setFixedSize(width, height);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void PanelWindow::setContent(QWidget* content) {
    delete content_;
    content_ = content;
    layout()->addWidget(content_);
}

void PanelWindow::present(const QRect& anchor) {
    // A window already shown gets no show event, yet the user is opening the panel again (a second
    // start, the tray after a focus change the panel never saw): it appears anew, with fresh devices.
    const bool wasShown = isVisible();
    if (besideTray_) {
        placeBeside(anchor);
    }
    show();
    raise();
    activateWindow();
    if (wasShown && onAppear) {
        onAppear();
    }
}

void PanelWindow::toggle(const QRect& anchor) {
    constexpr qint64 sameClickMs = 300;
    if (isVisible()) {
        hide();
    } else if (!hiddenByFocusLoss_.isValid() || hiddenByFocusLoss_.elapsed() > sameClickMs) {
        present(anchor);
    }
}

void PanelWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (onAppear) {
        onAppear();
    }
}

bool PanelWindow::event(QEvent* event) {
    // Like a menu-bar panel: a click elsewhere closes it.
    if (besideTray_ && event->type() == QEvent::WindowDeactivate && isVisible()) {
        hiddenByFocusLoss_.start();
        hide();
    }
    return QWidget::event(event);
}

void PanelWindow::placeBeside(const QRect& anchor) {
    QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    QPoint topLeft;
    if (anchor.isValid()) {
        // Below an icon in the top half of the screen, above one in the bottom half, centred on it.
        const int y = anchor.center().y() < area.center().y() ? anchor.bottom() + 1 : anchor.top() - height;
        topLeft = QPoint(anchor.center().x() - width / 2, y);
    } else {
        topLeft = QPoint(area.right() - width, area.top());
    }
    topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - width + 1)));
    topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - height + 1)));
    move(topLeft);
}

} // namespace velmora::app
