#include "Velmora/Panel/Widgets/LevelMeter.h"

#include "Velmora/Accessibility/AccessibleLevelMeter.h"
#include "Velmora/Panel/Widgets/PanelStyle.h"

#include <QAccessible>
#include <QPainter>
#include <QPainterPath>

namespace velmora::app {

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
    setFixedHeight(8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    AccessibleLevelMeter::install();
}

void LevelMeter::setFraction(double fraction) {
    if (fraction == fraction_) {
        return;
    }
    fraction_ = fraction;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, fraction_ * 100.0);
        QAccessible::updateAccessibility(&event);
    }
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor track = palette().color(QPalette::WindowText);
    track.setAlphaF(0.2f * 0.6f);
    painter.setBrush(track);
    painter.drawRoundedRect(QRectF(rect()), 2, 2);
    if (fraction_ > 0) {
        painter.setBrush(style::green);
        painter.drawRoundedRect(QRectF(0, 0, width() * fraction_, height()), 2, 2);
    }
}

} // namespace velmora::app
