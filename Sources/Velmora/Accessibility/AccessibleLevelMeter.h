#pragma once
// What assistive technologies see of the level meter: a progress bar whose value is the filled share
// in percent (0…100), read-only.

#include <QAccessibleWidget>

namespace velmora::app {

class LevelMeter;

class AccessibleLevelMeter final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleLevelMeter(LevelMeter* meter);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;

    QVariant currentValue() const override;
    /// The level comes from the microphone, not from the user.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

    /// Makes every LevelMeter of the process speak through this interface. Idempotent.
    static void install();
};

} // namespace velmora::app
