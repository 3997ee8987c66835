#pragma once
// Where the program lies and where it belongs. An install tree is the folder holding bin/velmora beside
// share/velmora/ (a build tree has no share/velmora/ and is never checked); it counts as installed under
// "/usr/", "/usr/local/", "/opt/" or "$HOME/.local/". Anywhere else (an archive unpacked in Downloads, a
// removable disk) it is offered a move to "$HOME/.local/opt/velmora", writable without root.

#include <filesystem>
#include <optional>
#include <string>

namespace velmora::app {

struct InstallLocation {
    /// The install tree of `executable`, or none when the program does not run from one.
    static std::optional<std::filesystem::path> installTree(const std::filesystem::path& executable);
    /// A plain, case-sensitive prefix test of the tree's path (with a trailing "/") against the installed
    /// places; `home` empty leaves out "$HOME/.local/".
    static bool isInstalled(const std::filesystem::path& tree, const std::filesystem::path& home);
    static std::filesystem::path moveDestination(const std::filesystem::path& home);

    /// Copies the tree `source` to `destination`, replacing what is there: the copy is made in a
    /// temporary sibling and only then put in place, so a failed copy leaves the old destination as it
    /// was. Throws std::filesystem::filesystem_error.
    static void copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination);

    /// A failure's text for the user: the system's reason and the path it concerns.
    static std::string describe(const std::exception& error);
};

} // namespace velmora::app
