#include "CommandLine/InputFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace sonavex::tool {

std::string readInput(const std::string& path) {
    if (path == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        // A folder opens as a stream and then reads as nothing.
        throw std::runtime_error("Cannot read " + path + ": " + std::strerror(EISDIR));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Cannot read " + path + ": " + std::strerror(errno));
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        throw std::runtime_error("Cannot read " + path + ": " + std::strerror(errno));
    }
    return contents.str();
}

} // namespace sonavex::tool
