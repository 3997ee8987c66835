#include "Velmora/Updates/CheckForUpdatesView.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

CheckForUpdatesView::CheckForUpdatesView(std::unique_ptr<CheckForUpdatesViewModel> viewModel,
                                         Updater& updater, QWidget* parent)
    : QWidget(parent), viewModel_(std::move(viewModel)), updater_(updater),
      button_(new QPushButton(QStringLiteral("アップデートを確認…"), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);

    button_->setEnabled(viewModel_->canCheckForUpdates().value());
    subscription_ = viewModel_->canCheckForUpdates().subscribe(
        [this](const bool& canCheck) { button_->setEnabled(canCheck); });
    connect(button_, &QPushButton::clicked, this, [this] { updater_.checkForUpdates(); });
}

CheckForUpdatesView::~CheckForUpdatesView() {
    viewModel_->canCheckForUpdates().unsubscribe(subscription_);
}

} // namespace velmora::app
