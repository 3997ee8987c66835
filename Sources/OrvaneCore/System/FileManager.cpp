#include "OrvaneCore/System/FileManager.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace orvane {

namespace {

std::string homeFolder(const std::string& user) {
    if (user.empty()) {
        if (const char* home = std::getenv("HOME"); home && *home) {
            return home;
        }
        const passwd* entry = getpwuid(getuid());
        return entry && entry->pw_dir ? entry->pw_dir : "";
    }
    const passwd* entry = getpwnam(user.c_str());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

// "~" and "~user" at the start, up to the first "/"; an unknown user leaves the path as it is.
std::string expandingTilde(std::string_view path) {
    if (!path.starts_with('~')) {
        return std::string(path);
    }
    const std::size_t slash = path.find('/');
    const std::string user(
        path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1));
    std::string home = homeFolder(user);
    if (home.empty()) {
        return std::string(path);
    }
    while (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    return slash == std::string_view::npos ? home : home + std::string(path.substr(slash));
}

} // namespace

std::string FileManager::resolveAbsolutePath(std::string_view path) {
    std::string expanded = expandingTilde(path);
    if (expanded.starts_with('/')) {
        return expanded;
    }
    std::string absolute = std::filesystem::current_path().string();
    while (!expanded.empty() && expanded.back() == '/') {
        expanded.pop_back(); // a file URL's path has no trailing slash
    }
    if (!expanded.empty()) {
        if (absolute.back() != '/') {
            absolute += '/';
        }
        absolute += expanded;
    }
    return absolute;
}

} // namespace orvane
