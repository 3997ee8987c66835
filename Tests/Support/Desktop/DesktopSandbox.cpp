#include "Support/Desktop/DesktopSandbox.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace testsupport {

DesktopSandbox::DesktopSandbox(const std::string& browserAlso) : root_(directory_.path()) {
    fs::create_directories(dataHome());
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "system-data");
    fs::create_directories(root_ / "system-config");
    environment_.set("HOME", home().string());
    environment_.set("XDG_DATA_HOME", dataHome().string());
    environment_.set("XDG_CONFIG_HOME", (root_ / "config").string());
    environment_.set("XDG_DATA_DIRS", (root_ / "system-data").string());
    environment_.set("XDG_CONFIG_DIRS", (root_ / "system-config").string());
    // xdg-open consults scheme handlers only "with a display"; nothing ever connects to it.
    environment_.set("DISPLAY", ":velmora-test-no-display");
    for (const char* name :
         {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
          "GNOME_DESKTOP_SESSION_ID", "WAYLAND_DISPLAY"}) {
        environment_.unset(name);
    }
    // xdg-open asks the session bus about the desktop: a bus nobody listens on, so nothing is started
    // in its place (an unset address would have it launch one).
    environment_.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-test-bus");
    environment_.set("BROWSER",
                     script("browser", "printf '%s\\n' \"$1\" >> " +
                                           shellQuoted((root_ / browserLog).string()) + "\n" + browserAlso)
                         .string());
}

fs::path DesktopSandbox::script(const std::string& name, const std::string& body) const {
    const fs::path path = root_ / name;
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

std::vector<std::string> DesktopSandbox::waitForLines(const std::string& file, std::size_t count,
                                                      int seconds) const {
    std::vector<std::string> lines;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        lines.clear();
        std::ifstream in(root_ / file);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        if (lines.size() >= count || std::chrono::steady_clock::now() > deadline) {
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace testsupport
