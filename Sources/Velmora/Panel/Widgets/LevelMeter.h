#pragma once
// The microphone's level: a rounded track with a green bar over the filled share. It repaints only
// when the share it draws changes, since the level arrives ten times a second. Assistive technologies
// read the share as a value in percent.

#include <QWidget>

namespace velmora::app {

class LevelMeter final : public QWidget {
public:
    explicit LevelMeter(QWidget* parent = nullptr);

    /// 0…1 of the width.
    double fraction() const { return fraction_; }
    void setFraction(double fraction);

    QSize sizeHint() const override { return {100, 8}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction_ = 0;
};

} // namespace velmora::app
