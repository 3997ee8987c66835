#include "Velmora/Accessibility/AccessibleElidedLabel.h"

#include "Velmora/Windows/ElidedLabel.h"

namespace velmora::app {

namespace {

QAccessibleInterface* makeInterface(const QString&, QObject* object) {
    if (auto* label = dynamic_cast<ElidedLabel*>(object)) {
        return new AccessibleElidedLabel(label);
    }
    return nullptr;
}

} // namespace

AccessibleElidedLabel::AccessibleElidedLabel(ElidedLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString AccessibleElidedLabel::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return static_cast<const ElidedLabel*>(widget())->text();
    }
    return QAccessibleWidget::text(kind);
}

void AccessibleElidedLabel::install() {
    static const bool installed = (QAccessible::installFactory(makeInterface), true);
    (void)installed;
}

} // namespace velmora::app
