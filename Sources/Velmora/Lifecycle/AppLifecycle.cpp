#include "Velmora/Lifecycle/AppLifecycle.h"

#include "Velmora/Application/SingleInstance.h"

#include <QCoreApplication>
#include <QProcess>

namespace velmora::app {

AppLifecycle::ProcessControl AppLifecycle::ProcessControl::system() {
    ProcessControl control;
    control.startDetached = [](const std::filesystem::path& program,
                               const QStringList& arguments) -> std::optional<std::string> {
        QProcess process;
        process.setProgram(QString::fromStdString(program.string()));
        process.setArguments(arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        if (process.startDetached()) {
            return std::nullopt;
        }
        return process.errorString().toStdString();
    };
    control.terminate = [] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    };
    return control;
}

AppLifecycle::AppLifecycle(SingleInstance* instance, std::filesystem::path executable, QStringList arguments,
                           ProcessControl control)
    : instance_(instance), executable_(std::move(executable)), arguments_(std::move(arguments)),
      control_(std::move(control)) {}

void AppLifecycle::restart() {
    if (instance_ != nullptr) {
        instance_->close();
    }
    control_.startDetached(executable_, arguments_); // a failed start still ends this process
    control_.terminate();
}

std::optional<std::string> AppLifecycle::relaunch(const std::filesystem::path& executable) {
    if (instance_ != nullptr) {
        instance_->close();
    }
    if (auto problem = control_.startDetached(executable, {})) {
        if (instance_ != nullptr) {
            instance_->listenAgain();
        }
        return problem;
    }
    control_.terminate();
    return std::nullopt;
}

} // namespace velmora::app
