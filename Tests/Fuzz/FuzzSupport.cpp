#include "Fuzz/FuzzSupport.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fuzz {

namespace {

std::filesystem::path makeScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    return pattern;
}

} // namespace

const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = makeScratchFolder();
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

std::filesystem::path writeScratch(const std::string& name, std::string_view bytes) {
    const std::filesystem::path path = scratchFolder() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::string> parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view separator = "\n@@@@\n";
    std::vector<std::string> result;
    std::size_t start = 0;
    while (result.size() + 1 < count) {
        const std::size_t found = input.find(separator, start);
        if (found == std::string_view::npos) {
            break;
        }
        result.emplace_back(input.substr(start, found - start));
        start = found + separator.size();
    }
    result.emplace_back(input.substr(std::min(start, input.size())));
    result.resize(count);
    return result;
}

std::filesystem::path dataPath(const std::string& relative) {
    return std::filesystem::path(VELMORA_TEST_DATA_DIR) / relative;
}

} // namespace fuzz
