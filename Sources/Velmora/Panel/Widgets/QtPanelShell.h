#pragma once
// The panel's desktop actions with Qt: the window raised and activated, the clipboard, the folder
// through an opener, and the application's settings window and update check.

#include "Velmora/Panel/PanelShell.h"
#include "Velmora/Panel/Widgets/FolderOpener.h"

#include <functional>

class QWidget;

namespace velmora::app {

class QtPanelShell final : public PanelShell {
public:
    struct Actions {
        /// The panel's window; may answer none before it exists.
        std::function<QWidget*()> window;
        std::function<void()> openSettings;
        std::function<void()> checkForUpdates;
    };

    /// `opener` must outlive the shell.
    QtPanelShell(Actions actions, FolderOpener& opener) : actions_(std::move(actions)), opener_(opener) {}

    void bringToFront() override;
    void copyText(const std::string& text) override;
    void openFolder(const std::filesystem::path& folder) override { opener_.open(folder); }
    void openSettings() override;
    void checkForUpdates() override;

private:
    Actions actions_;
    FolderOpener& opener_;
};

} // namespace velmora::app
