#include "Platform/ML/Model/ModelCompiler.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "Platform/ML/Files/AtomicFileWriter.h"
#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelLoadError.h"

namespace fs = std::filesystem;

namespace ml {

namespace {

uint64_t fnv1a(uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

uint64_t fnv1a(uint64_t hash, const std::string& text) { return fnv1a(hash, text.data(), text.size()); }

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The key covers where the package is and what it holds; the weights enter by size and modification
// time (hashing gigabytes on every load would defeat the cache).
std::string cacheKey(const fs::path& package, const std::string& description, const fs::path& weights) {
    uint64_t hash = 0xcbf29ce484222325ull;
    hash = fnv1a(hash, fs::weakly_canonical(package).string());
    hash = fnv1a(hash, description);
    std::error_code error;
    const auto size = fs::file_size(weights, error);
    hash = fnv1a(hash, &size, sizeof size);
    const auto modified = fs::last_write_time(weights, error).time_since_epoch().count();
    hash = fnv1a(hash, &modified, sizeof modified);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

void linkOrCopy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (error) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
}

} // namespace

fs::path ModelCompiler::defaultCacheDirectory() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache != '\0') {
        return fs::path(cache) / "velmora" / "compiled-models";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return fs::path(home) / ".cache" / "velmora" / "compiled-models";
    }
    return fs::temp_directory_path() / "velmora-compiled-models";
}

fs::path ModelCompiler::packageRoot(const fs::path& location) {
    fs::path path = location;
    if (path.has_filename() == false) {
        path = path.parent_path();
    }
    if (path.extension() == ".mlpackage") {
        return path;
    }
    if (path.filename() == "model.mlmodel") {
        fs::path root = path.parent_path().parent_path().parent_path();
        if (root.extension() == ".mlpackage" && path.parent_path().filename() == "com.apple.CoreML" &&
            path.parent_path().parent_path().filename() == "Data") {
            return root;
        }
    }
    return {};
}

ModelCompiler::Result ModelCompiler::compile(const fs::path& package, const fs::path& cacheDirectory) {
    const fs::path description = package / kPackageDescriptionPath;
    const fs::path weights = package / kPackageWeightsPath;
    // Reading checks the description and the whole weights header before anything is written.
    ModelFolder::read(package, description, weights);

    const std::string descriptionText = readAll(description);
    const fs::path target =
        cacheDirectory / (package.stem().string() + "-" + cacheKey(package, descriptionText, weights) + ".mlmodelc");
    if (fs::is_regular_file(target / ModelFolder::kDescriptionFileName) &&
        fs::is_regular_file(target / ModelFolder::kWeightsFileName)) {
        return {target, false};
    }

    std::error_code error;
    fs::create_directories(cacheDirectory, error);
    if (error) {
        throw ModelLoadError(package, "cannot create the compiled-model cache " + cacheDirectory.string() + " (" +
                                          error.message() + ")");
    }
    std::random_device random;
    const fs::path staging = cacheDirectory / (".compiling-" + std::to_string(random()) + "-" + target.filename().string());
    try {
        fs::create_directories(staging);
        AtomicFileWriter::writeFile(staging / ModelFolder::kDescriptionFileName, descriptionText);
        linkOrCopy(weights, staging / ModelFolder::kWeightsFileName);
        fs::rename(staging, target, error);
        if (error) {
            // Someone else compiled the same package meanwhile; theirs is as good as ours.
            fs::remove_all(staging);
            if (!fs::is_directory(target)) {
                throw ModelLoadError(package, "cannot place the compiled model in " + target.string());
            }
            return {target, false};
        }
    } catch (const fs::filesystem_error& failure) {
        fs::remove_all(staging, error);
        throw ModelLoadError(package, std::string("cannot compile the package: ") + failure.what());
    } catch (...) {
        fs::remove_all(staging, error);
        throw;
    }
    return {target, true};
}

} // namespace ml
