#pragma once
// Path helpers over the file system.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct FileManager {
    /// `path` with a leading "~" or "~user" expanded to that home folder; a relative result is appended
    /// as a path component to the current directory.
    static std::string resolveAbsolutePath(std::string_view path);

    /// The regular files below `folder`, recursively, in enumeration order, leaving out hidden entries
    /// (names beginning with ".") and everything inside hidden folders. A folder that does not exist or
    /// cannot be read gives an empty list; unreadable subfolders are passed over; an entry whose type
    /// cannot be read throws std::filesystem::filesystem_error.
    static std::vector<std::filesystem::path> getFileUrls(const std::filesystem::path& folder);

    /// The user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs (in $XDG_CONFIG_HOME, else
    /// ~/.config), else ~/Documents. Not created here. The save folder, the model mirror and the
    /// permission log all live below it.
    static std::filesystem::path documentsDirectory();
};

} // namespace orvane
