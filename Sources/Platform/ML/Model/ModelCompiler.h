#pragma once
// Turns a model package ("<Name>.mlpackage", description at "Data/com.apple.CoreML/model.mlmodel", weights
// beside it) into the compiled form in a cache folder: our analogue of specialising a model for the
// machine. An entry is keyed by the package's location and contents, written under a temporary name and
// renamed into place, so a cache never holds a half-written model.

#include <filesystem>

namespace ml {

class ModelCompiler {
public:
    static constexpr const char* kPackageDescriptionPath = "Data/com.apple.CoreML/model.mlmodel";
    static constexpr const char* kPackageWeightsPath = "Data/com.apple.CoreML/weights.safetensors";

    struct Result {
        std::filesystem::path compiledFolder;
        /// True when this call wrote the entry (false: it was already cached).
        bool created = false;
    };

    /// Checks the package (throws ModelLoadError) and returns its compiled folder in `cacheDirectory`.
    static Result compile(const std::filesystem::path& package, const std::filesystem::path& cacheDirectory);

    /// $XDG_CACHE_HOME/velmora/compiled-models, else ~/.cache/velmora/compiled-models.
    static std::filesystem::path defaultCacheDirectory();

    /// The package folder a location points into: the ".mlpackage" folder itself or its inner description
    /// file; empty when the location is not inside a package.
    static std::filesystem::path packageRoot(const std::filesystem::path& location);
};

} // namespace ml
