// orvane-config FILE.json MEMBER...
// Reads a configuration or tokenizer file the way the model hub does and prints the description of a
// chained member lookup, e.g. `orvane-config tokenizer.json model type` prints "BPE".

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "Shared/StandardOptions.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

constexpr const char* kUsage = "usage: orvane-config FILE.json [MEMBER...]\n"
                               "Prints the value found by looking up each MEMBER in turn (camelCase names\n"
                               "also find their snake_case keys); a missing member prints null.\n";

bool readWhole(const char* path, std::string& contents) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        errno = EISDIR; // a folder opens as a stream, then reads as nothing
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    contents = buffer.str();
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = tools::answerStandardOption("orvane-config", {argv + 1, argv + argc}, kUsage)) {
        return *status;
    }
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    std::string contents;
    if (!readWhole(argv[1], contents)) {
        std::cerr << "orvane-config: cannot read " << argv[1] << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    try {
        orvane::Config config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(contents);
        const orvane::Config* current = &config;
        for (int i = 2; i < argc; ++i) {
            current = &(*current)[argv[i]];
        }
        std::cout << current->description() << "\n";
    } catch (const orvane::BomPreservingJsonReader::ParseError& error) {
        std::cerr << "orvane-config: " << argv[1] << " is not valid JSON: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
