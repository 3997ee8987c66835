#include "ShellTestSupport.h"

#include "Support/TestSupport.h"

#include <QDir>
#include <QProcess>

namespace shelltest {

QString screenshotDirectory() {
    const QString directory = QStringLiteral(VELMORA_SCREENSHOT_DIR);
    QDir().mkpath(directory);
    return directory;
}

int runSecondInstance(const std::filesystem::path& runtime, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QString::fromStdString(testsupport::toolPath("velmora").string()), arguments);
    if (!processEventsUntil([&] { return process.state() == QProcess::NotRunning; })) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace shelltest
