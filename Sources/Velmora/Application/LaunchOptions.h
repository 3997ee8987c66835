#pragma once
// The program's command line: velmora [URL…] [--show-panel] [--no-install-check] [--screenshot DIR].

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace velmora::app {

struct LaunchOptions {
    /// Addresses to open (the sign-in answer, from the desktop entry), in order.
    QStringList urls;
    /// Show the panel as soon as the application runs.
    bool showPanel = false;
    /// Skip the install-location check (the build tree's own runs and tests).
    bool noInstallCheck = false;
    /// Save the panel, settings and label pictures into this folder and exit.
    std::optional<QString> screenshotDirectory;

    /// The options of `arguments` (without the program name). Throws std::invalid_argument with the reason.
    static LaunchOptions parse(const QStringList& arguments);
    /// The program's own options of a whole command line (program name first), read before the GUI
    /// exists so that a wrong one is a usage error even without a display. The toolkit's own options
    /// ("-platform offscreen", "-style fusion", …) are left to the toolkit. Throws like parse().
    static LaunchOptions parseCommandLine(int argc, char** argv);
    static constexpr const char* usage =
        "usage: velmora [URL...] [--show-panel] [--no-install-check] [--screenshot DIR]";
};

} // namespace velmora::app
