#pragma once
// What assistive technologies see of an elided label: static text whose name is the whole text, not
// the part that fits on screen.

#include <QAccessibleWidget>

namespace velmora::app {

class ElidedLabel;

class AccessibleElidedLabel final : public QAccessibleWidget {
public:
    explicit AccessibleElidedLabel(ElidedLabel* label);

    QString text(QAccessible::Text kind) const override;

    /// Makes every ElidedLabel of the process speak through this interface. Idempotent.
    static void install();
};

} // namespace velmora::app
