#pragma once
// The model set-up gate: a spinner or the download's bar, what is happening, the percentage or a note,
// and after a failure its text and the retry button.

#include "Velmora/Panel/PanelModel.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora::app {

class ModelSetupView final : public QWidget {
public:
    static constexpr int barSteps = 1000;

    ModelSetupView(PanelModel& model, QWidget* parent = nullptr);
    void refresh();

private:
    PanelModel& model_;
    QWidget* spinner_;
    QProgressBar* bar_;
    QLabel* failureIcon_;
    QLabel* caption_;
    QLabel* detail_;
    QPushButton* retry_;
};

} // namespace velmora::app
