#pragma once
// A desktop of the test's own for xdg-open and xdg-mime: its own home, data and configuration folders
// (no system handlers), no desktop environment to detect, a display name so xdg-open looks up scheme
// handlers, and a browser script that records what it was asked to open.

#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class DesktopSandbox {
public:
    /// `browserAlso`: shell lines the browser script runs after recording its address ("$1").
    explicit DesktopSandbox(const std::string& browserAlso = "");

    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path dataHome() const { return root_ / "home/.local/share"; }
    /// Writes an executable shell script and returns its path.
    std::filesystem::path script(const std::string& name, const std::string& body) const;
    /// Lines a script appended to `file` (under the sandbox) so far, waiting up to `seconds` for at least
    /// `count` of them (the desktop starts handlers in the background).
    std::vector<std::string> waitForLines(const std::string& file, std::size_t count, int seconds = 30) const;
    /// The file the sandbox's browser appends each address it is asked to open to.
    static constexpr const char* browserLog = "browser.log";
    const std::filesystem::path& root() const { return root_; }

private:
    TemporaryDirectory directory_;
    std::filesystem::path root_;
    ScopedEnvironment environment_;
};

} // namespace testsupport
