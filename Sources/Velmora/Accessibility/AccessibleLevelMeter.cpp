#include "Velmora/Accessibility/AccessibleLevelMeter.h"

#include "Velmora/Panel/Widgets/LevelMeter.h"

#include <cmath>

namespace velmora::app {

namespace {

QAccessibleInterface* makeInterface(const QString&, QObject* object) {
    if (auto* meter = dynamic_cast<LevelMeter*>(object)) {
        return new AccessibleLevelMeter(meter);
    }
    return nullptr;
}

double percentOf(const QWidget* widget) {
    return static_cast<const LevelMeter*>(widget)->fraction() * 100.0;
}

} // namespace

AccessibleLevelMeter::AccessibleLevelMeter(LevelMeter* meter)
    : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

void* AccessibleLevelMeter::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QString AccessibleLevelMeter::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Value) {
        return QString::number(std::lround(percentOf(widget()))) + QLatin1Char('%');
    }
    return QAccessibleWidget::text(kind);
}

QVariant AccessibleLevelMeter::currentValue() const {
    return percentOf(widget());
}

void AccessibleLevelMeter::install() {
    static const bool installed = (QAccessible::installFactory(makeInterface), true);
    (void)installed;
}

} // namespace velmora::app
