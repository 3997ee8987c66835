#pragma once
// Shows a folder in the desktop's file manager. DesktopFolderOpener is the desktop's; tests record.

#include <filesystem>

namespace velmora::app {

class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    /// The answer is not waited for; a failure shows nothing.
    virtual void open(const std::filesystem::path& folder) = 0;
};

} // namespace velmora::app
