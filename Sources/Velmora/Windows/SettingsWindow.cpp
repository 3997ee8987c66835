#include "Velmora/Windows/SettingsWindow.h"

#include "Velmora/Updates/CheckForUpdatesView.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::app {

SettingsWindow::SettingsWindow(Updater& updater, AppLifecycle& lifecycle, std::function<void()> quit) {
    setWindowTitle(QStringLiteral("設定"));
    setFixedWidth(width);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);

    auto* updates = new QGroupBox(QStringLiteral("アップデート"), this);
    auto* updatesLayout = new QVBoxLayout(updates);
    updatesLayout->addWidget(
        new CheckForUpdatesView(std::make_unique<CheckForUpdatesViewModel>(updater), updater, updates));
    layout->addWidget(updates);

    auto* application = new QGroupBox(QStringLiteral("アプリ"), this);
    auto* applicationLayout = new QVBoxLayout(application);
    auto* restart = new QPushButton(QStringLiteral("再起動"), application);
    auto* quitButton = new QPushButton(QStringLiteral("終了"), application);
    connect(restart, &QPushButton::clicked, this, [&lifecycle] { lifecycle.restart(); });
    connect(quitButton, &QPushButton::clicked, this, [quit = std::move(quit)] { quit(); });
    applicationLayout->addWidget(restart, 0, Qt::AlignLeft);
    applicationLayout->addWidget(quitButton, 0, Qt::AlignLeft);
    layout->addWidget(application);
    adjustSize();
}

void SettingsWindow::present() {
    show();
    raise();
    activateWindow();
}

} // namespace velmora::app
