#include "Velmora/Panel/Widgets/DesktopFolderOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace velmora::app {

void DesktopFolderOpener::open(const std::filesystem::path& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
}

} // namespace velmora::app
