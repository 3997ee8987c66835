#pragma once
// The panel's content: the header with the settings button, the record and history tabs, and on the
// record tab the update banner above the first unmet gate or the recording interface. It redraws only
// the parts the model names; the content starts under the header, and in the recording interface the
// transcript takes the remaining height.

#include "Velmora/Panel/PanelModel.h"

#include <QWidget>

class QBoxLayout;
class QLabel;
class QTabBar;

namespace velmora::app {

class HistoryView;
class ModelSetupView;
class PermissionView;
class RecordingInterface;
class SignInView;

class PanelContent final : public QWidget {
public:
    PanelContent(PanelModel& model, QWidget* parent = nullptr);
    ~PanelContent() override;

    PanelModel& model() const { return model_; }
    RecordingInterface& recordingInterface() const { return *recordingInterface_; }
    /// None unless the history tab is shown.
    HistoryView* historyView() const { return historyView_; }

    /// Redraws the parts named (PanelModel::Part bits).
    void refresh(unsigned parts);

private:
    void refreshLayout();

    PanelModel& model_;
    QBoxLayout* layout_;
    QTabBar* tabs_;
    QWidget* recordPage_;
    QWidget* historyPage_;
    QWidget* updateBanner_;
    QLabel* updateText_;
    PermissionView* permissionView_;
    SignInView* signInView_;
    ModelSetupView* setupView_;
    RecordingInterface* recordingInterface_;
    HistoryView* historyView_ = nullptr;
};

} // namespace velmora::app
