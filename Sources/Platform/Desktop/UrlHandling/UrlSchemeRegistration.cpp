#include "Platform/Desktop/UrlHandling/UrlSchemeRegistration.h"

#include <cstdlib>
#include <fstream>
#include <glib.h>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace desktop {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Beside the target, then renamed over it: a desktop that reads the entry meanwhile sees the old one or
// the new one, never half of either.
void writeReplacing(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    const fs::path temporary = path.string() + ".tmp-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw fs::filesystem_error("cannot write", temporary, std::make_error_code(std::errc::io_error));
        }
    }
    fs::rename(temporary, path);
}

struct ProgramRun {
    bool ran = false;
    int status = -1;
    std::string output;
};

ProgramRun runProgram(std::vector<std::string> arguments) {
    std::vector<gchar*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    gchar* output = nullptr;
    gint status = 0;
    GError* error = nullptr;
    ProgramRun run;
    run.ran = g_spawn_sync(nullptr, argv.data(), nullptr,
                           static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL),
                           nullptr, nullptr, &output, nullptr, &status, &error) != FALSE;
    if (error != nullptr) {
        g_error_free(error);
    }
    if (output != nullptr) {
        run.output = output;
        g_free(output);
    }
    if (run.ran) {
        run.status = g_spawn_check_wait_status(status, nullptr) ? 0 : 1;
    }
    return run;
}

std::string trimmed(std::string text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.back())) {
        text.pop_back();
    }
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

// The string escapes of desktop-entry values.
std::string escapedValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

UrlSchemeRegistration::UrlSchemeRegistration(std::string scheme, std::string id, std::string displayName)
    : scheme_(std::move(scheme)), id_(std::move(id)), displayName_(std::move(displayName)) {}

std::string UrlSchemeRegistration::execArgument(const std::string& argument) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    const bool quote = argument.empty() || argument.find_first_of(reserved) != std::string::npos;
    if (quote) {
        out += '"';
    }
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            out += '\\';
        }
        out += c;
        if (c == '%') {
            out += '%';
        }
    }
    if (quote) {
        out += '"';
    }
    return out;
}

std::string UrlSchemeRegistration::desktopEntry(const fs::path& executable) const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           escapedValue(displayName_) +
           "\n"
           "Exec=" +
           escapedValue(execArgument(executable.string())) +
           " %u\n"
           "MimeType=" +
           mimeType() +
           ";\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

UrlSchemeRegistration::Outcome UrlSchemeRegistration::ensureRegistered(const fs::path& executable) const {
    Outcome outcome;
    const fs::path path = entryPath();
    const std::string entry = desktopEntry(executable);
    if (readWhole(path) != entry) {
        try {
            writeReplacing(path, entry);
            outcome.entryWritten = true;
        } catch (const std::exception& error) {
            outcome.problem = "cannot write " + path.string() + ": " + error.what();
            return outcome;
        }
    }
    const std::string fileName = id_ + ".desktop";
    if (!outcome.entryWritten) {
        const ProgramRun query = runProgram({"xdg-mime", "query", "default", mimeType()});
        if (query.ran && query.status == 0 && trimmed(query.output) == fileName) {
            outcome.isDefaultHandler = true;
            return outcome;
        }
    }
    const ProgramRun registration = runProgram({"xdg-mime", "default", fileName, mimeType()});
    outcome.isDefaultHandler = registration.ran && registration.status == 0;
    if (!outcome.isDefaultHandler) {
        outcome.problem = registration.ran ? "xdg-mime default failed" : "xdg-mime cannot be run";
    }
    return outcome;
}

fs::path UrlSchemeRegistration::applicationsDirectory() {
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome != nullptr && dataHome[0] == '/') {
        return fs::path(dataHome) / "applications";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return fs::path(home) / ".local/share/applications";
}

fs::path UrlSchemeRegistration::currentExecutable() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

} // namespace desktop
