#include "Velmora/Application/LaunchOptions.h"

#include <QSet>
#include <stdexcept>

namespace velmora::app {

namespace {

// What QGuiApplication and QApplication take from the command line themselves (with one dash or two,
// a value after a space or, for some, after "="): left to them.
const QSet<QString>& toolkitOptionsWithValue() {
    static const QSet<QString> names{"platform", "platformpluginpath", "platformtheme", "plugin",
                                     "qmljsdebugger", "qwindowgeometry", "qwindowicon", "qwindowtitle",
                                     "session", "display", "geometry", "title", "icon", "name", "style",
                                     "stylesheet", "visual", "ncols", "cmap", "im", "inputstyle"};
    return names;
}

const QSet<QString>& toolkitFlags() {
    static const QSet<QString> names{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    return names;
}

} // namespace

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

LaunchOptions LaunchOptions::parseCommandLine(int argc, char** argv) {
    QStringList own;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1Char('-'))) {
            QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
            const bool hasValue = name.contains(QLatin1Char('='));
            name = name.section(QLatin1Char('='), 0, 0);
            if (toolkitFlags().contains(name)) {
                continue;
            }
            if (toolkitOptionsWithValue().contains(name)) {
                i += hasValue ? 0 : 1;
                continue;
            }
        }
        own << argument;
    }
    return parse(own);
}

} // namespace velmora::app
