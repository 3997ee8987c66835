#pragma once
// Path helpers over the file system.

#include <string>
#include <string_view>

namespace orvane {

struct FileManager {
    /// `path` with a leading "~" or "~user" expanded to that home folder; a relative result is appended
    /// as a path component to the current directory.
    static std::string resolveAbsolutePath(std::string_view path);
};

} // namespace orvane
