#pragma once
// The folder opened through the desktop's file manager (QDesktopServices, which asks the portal or
// xdg-open).

#include "Velmora/Panel/Widgets/FolderOpener.h"

namespace velmora::app {

class DesktopFolderOpener final : public FolderOpener {
public:
    void open(const std::filesystem::path& folder) override;
};

} // namespace velmora::app
