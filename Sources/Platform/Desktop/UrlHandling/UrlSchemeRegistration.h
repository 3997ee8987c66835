#pragma once
// Makes this program the desktop's handler of one URL scheme: a desktop entry
// "<applicationsDirectory>/<id>.desktop" with `MimeType=x-scheme-handler/<scheme>;` and `Exec=<program> %u`,
// registered as the scheme's default with `xdg-mime default`. xdg-open then starts the program with the
// address as its one argument. Meant to run at every start: the entry is rewritten only when it is
// missing or names another program (a moved install, a build tree), and registered again then or when
// the desktop names another handler.

#include <filesystem>
#include <string>

namespace desktop {

class UrlSchemeRegistration {
public:
    /// `id` names the entry file (id + ".desktop"); `displayName` is its Name=.
    UrlSchemeRegistration(std::string scheme, std::string id, std::string displayName);

    struct Outcome {
        /// The entry file was (re)written.
        bool entryWritten = false;
        /// The entry is the scheme's default handler now (already was, or `xdg-mime default` made it so).
        bool isDefaultHandler = false;
        /// Why the entry could not be written or registered; empty on success.
        std::string problem;
    };

    /// Writes the entry for `executable` (an absolute path; see currentExecutable()) when needed and
    /// registers it. Never throws: a read-only home or a missing xdg-mime is a problem in the outcome.
    Outcome ensureRegistered(const std::filesystem::path& executable) const;

    /// The entry's full text for `executable`.
    std::string desktopEntry(const std::filesystem::path& executable) const;
    std::filesystem::path entryPath() const { return applicationsDirectory() / (id_ + ".desktop"); }
    std::string mimeType() const { return "x-scheme-handler/" + scheme_; }

    /// $XDG_DATA_HOME/applications when that variable holds an absolute path, else
    /// ~/.local/share/applications.
    static std::filesystem::path applicationsDirectory();
    /// The running program's absolute path (/proc/self/exe).
    static std::filesystem::path currentExecutable();
    /// One argument of an Exec= line: quoted and escaped where the desktop-entry rules ask for it
    /// (blanks, quotes and shell characters), with "%" doubled.
    static std::string execArgument(const std::string& argument);

private:
    std::string scheme_;
    std::string id_;
    std::string displayName_;
};

} // namespace desktop
