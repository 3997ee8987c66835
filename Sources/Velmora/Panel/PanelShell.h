#pragma once
// What the panel asks of the desktop and of the rest of the application: the window in front, the
// clipboard, the file manager, the settings window and the update check. The widgets implement it with
// Qt; tests record the calls. Main thread only.

#include <filesystem>
#include <string>

namespace velmora::app {

class PanelShell {
public:
    virtual ~PanelShell() = default;

    /// Raises and activates the panel.
    virtual void bringToFront() = 0;
    /// Replaces the clipboard's text.
    virtual void copyText(const std::string& text) = 0;
    /// Shows the folder in the desktop's file manager.
    virtual void openFolder(const std::filesystem::path& folder) = 0;
    virtual void openSettings() = 0;
    /// The check the user asked for, which offers the update.
    virtual void checkForUpdates() = 0;
};

} // namespace velmora::app
