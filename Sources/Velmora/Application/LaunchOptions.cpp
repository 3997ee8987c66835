#include "Velmora/Application/LaunchOptions.h"

#include <stdexcept>

namespace velmora::app {

LaunchOptions LaunchOptions::parse(const QStringList& arguments) {
    LaunchOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--show-panel")) {
            options.showPanel = true;
        } else if (argument == QLatin1String("--no-install-check")) {
            options.noInstallCheck = true;
        } else if (argument == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                throw std::invalid_argument("--screenshot needs a folder");
            }
            options.screenshotDirectory = arguments[++i];
        } else if (argument.startsWith(QLatin1Char('-'))) {
            throw std::invalid_argument("unknown option " + argument.toStdString());
        } else {
            options.urls << argument;
        }
    }
    return options;
}

} // namespace velmora::app
