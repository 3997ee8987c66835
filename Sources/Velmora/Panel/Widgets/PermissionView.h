#pragma once
// The record tab's first gate: a warning and a grant button for each missing permission, and the
// re-check button.

#include "Velmora/Panel/PanelModel.h"

#include <QWidget>

class QPushButton;

namespace velmora::app {

class PermissionView final : public QWidget {
public:
    PermissionView(PanelModel& model, QWidget* parent = nullptr);
    void refresh();

private:
    PanelModel& model_;
    QWidget* micWarning_;
    QPushButton* micButton_;
    QWidget* screenWarning_;
    QPushButton* screenButton_;
};

} // namespace velmora::app
