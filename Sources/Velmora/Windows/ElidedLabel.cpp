#include "Velmora/Windows/ElidedLabel.h"

#include "Velmora/Accessibility/AccessibleElidedLabel.h"

#include <QAccessible>
#include <QPainter>

namespace velmora::app {

ElidedLabel::ElidedLabel(QString text, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), mode_(mode) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    AccessibleElidedLabel::install();
}

void ElidedLabel::setText(QString text) {
    text_ = std::move(text);
    updateGeometry();
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QString ElidedLabel::shownText() const {
    // A line break would start a second line; one line is all there is.
    QString line = text_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, mode_, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

} // namespace velmora::app
