#include "ShellTestSupport.h"

#include <QDir>

namespace shelltest {

QString screenshotDirectory() {
    const QString directory = QStringLiteral(VELMORA_SCREENSHOT_DIR);
    QDir().mkpath(directory);
    return directory;
}

} // namespace shelltest
