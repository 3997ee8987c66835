#pragma once
// A file could not be read. what() names the file in the platform's words ("The file “x” couldn’t be
// opened because there is no such file."); code() says why, so callers can tell a missing file apart.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace orvane {

class FileReadError : public std::runtime_error {
public:
    FileReadError(const std::filesystem::path& file, std::error_code code);

    const std::filesystem::path& file() const { return file_; }
    std::error_code code() const { return code_; }

    /// Reads the whole file as bytes; throws FileReadError.
    static std::string readContents(const std::filesystem::path& file);

private:
    std::filesystem::path file_;
    std::error_code code_;
};

} // namespace orvane
