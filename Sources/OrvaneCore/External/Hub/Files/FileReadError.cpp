#include "OrvaneCore/External/Hub/Files/FileReadError.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace orvane {

namespace {
std::string describe(const std::filesystem::path& file, std::error_code code) {
    std::string name = "The file \u201c" + file.filename().string() + "\u201d couldn\u2019t be opened";
    if (code == std::errc::no_such_file_or_directory) {
        return name + " because there is no such file.";
    }
    if (code == std::errc::permission_denied) {
        return name + " because you don\u2019t have permission to view it.";
    }
    return name + ".";
}
} // namespace

FileReadError::FileReadError(const std::filesystem::path& file, std::error_code code)
    : std::runtime_error(describe(file, code)), file_(file), code_(code) {}

std::string FileReadError::readContents(const std::filesystem::path& file) {
    std::error_code status;
    if (std::filesystem::is_directory(file, status)) {
        throw FileReadError(file, std::make_error_code(std::errc::is_a_directory));
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw FileReadError(file, std::error_code(errno != 0 ? errno : ENOENT, std::generic_category()));
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        throw FileReadError(file, std::make_error_code(std::errc::io_error));
    }
    return contents.str();
}

} // namespace orvane
