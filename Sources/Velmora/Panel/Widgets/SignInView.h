#pragma once
// The sign-in gate: why, the button (disabled while signing in), the browser hint while signing in,
// and the last failure in red.

#include "Velmora/Panel/PanelModel.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace velmora::app {

class SignInView final : public QWidget {
public:
    SignInView(PanelModel& model, QWidget* parent = nullptr);
    void refresh();

private:
    PanelModel& model_;
    QPushButton* button_;
    QLabel* hint_;
    QLabel* error_;
};

} // namespace velmora::app
