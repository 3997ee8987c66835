#pragma once
// The settings window's manual update check: one button "アップデートを確認…", enabled while its view
// model says a check can start, that asks the updater for a check the user sees through.

#include "VelmoraCore/Updates/CheckForUpdatesViewModel.h"

#include <QWidget>
#include <memory>

class QPushButton;

namespace velmora::app {

class CheckForUpdatesView final : public QWidget {
public:
    /// The view keeps the model; `updater` must outlive the view.
    CheckForUpdatesView(std::unique_ptr<CheckForUpdatesViewModel> viewModel, Updater& updater,
                        QWidget* parent = nullptr);
    ~CheckForUpdatesView() override;

    QPushButton* button() const { return button_; }

private:
    std::unique_ptr<CheckForUpdatesViewModel> viewModel_;
    Updater& updater_;
    QPushButton* button_;
    Observable<bool>::SubscriptionId subscription_;
};

} // namespace velmora::app
