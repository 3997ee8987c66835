#include "Velmora/Lifecycle/InstallLocation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>

namespace velmora::app {

namespace fs = std::filesystem;

namespace {

bool hasPrefix(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

[[noreturn]] void fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

fs::path makeTemporarySibling(const fs::path& destination, const char* purpose) {
    std::string pattern = (destination.parent_path() / ("." + destination.filename().string() + purpose))
                              .string() + ".XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        fail("cannot create a folder", destination.parent_path(), errno);
    }
    return pattern;
}

// Puts `ready` at `destination`, swapping the two atomically where the file system allows it; the old
// destination ends up at `ready`'s path, for the caller to remove.
void putInPlace(const fs::path& ready, const fs::path& destination) {
    if (!fs::exists(fs::symlink_status(destination))) {
        fs::rename(ready, destination);
        return;
    }
    if (renameat2(AT_FDCWD, ready.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) == 0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        fail("cannot replace", destination, errno);
    }
    // No atomic exchange here: move the old one aside, the new one in, and the old one back on failure.
    const fs::path aside = makeTemporarySibling(destination, ".old");
    fs::remove(aside);
    fs::rename(destination, aside);
    std::error_code error;
    fs::rename(ready, destination, error);
    if (error) {
        fs::rename(aside, destination);
        throw fs::filesystem_error("cannot replace", destination, error);
    }
    fs::rename(aside, ready);
}

} // namespace

std::optional<fs::path> InstallLocation::installTree(const fs::path& executable) {
    const fs::path bin = executable.parent_path();
    if (bin.filename() != "bin") {
        return std::nullopt;
    }
    const fs::path tree = bin.parent_path();
    std::error_code error;
    if (!fs::is_directory(tree / "share" / "velmora", error)) {
        return std::nullopt;
    }
    return tree;
}

bool InstallLocation::isInstalled(const fs::path& tree, const fs::path& home) {
    const std::string path = tree.string() + "/";
    for (const char* prefix : {"/usr/", "/usr/local/", "/opt/"}) {
        if (hasPrefix(path, prefix)) {
            return true;
        }
    }
    return !home.empty() && hasPrefix(path, (home / ".local").string() + "/");
}

fs::path InstallLocation::moveDestination(const fs::path& home) {
    return home / ".local" / "opt" / "velmora";
}

void InstallLocation::copyReplacing(const fs::path& source, const fs::path& destination) {
    const fs::path from = fs::weakly_canonical(source);
    const fs::path to = fs::weakly_canonical(destination);
    if (hasPrefix(to.string() + "/", from.string() + "/")) {
        fail("cannot copy a folder into itself", to, EINVAL);
    }
    fs::create_directories(to.parent_path());
    const fs::path temporary = makeTemporarySibling(to, ".new");
    try {
        fs::copy(from, temporary, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        putInPlace(temporary, to);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(temporary, ignored);
        throw;
    }
    std::error_code ignored;
    fs::remove_all(temporary, ignored); // the replaced copy, if there was one
}

std::string InstallLocation::describe(const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const fs::filesystem_error*>(&error)) {
        std::string text = fileError->code().message();
        if (!fileError->path1().empty()) {
            text += ": " + fileError->path1().string();
        }
        return text;
    }
    return error.what();
}

} // namespace velmora::app
