#include "OrvaneCore/Models/ModelUtilities.h"

#include <system_error>

namespace fs = std::filesystem;

namespace orvane {

namespace {

constexpr const char* kCompiledExtension = ".mlmodelc";
constexpr const char* kPackageExtension = ".mlpackage";
constexpr const char* kPackageModelFile = "Data/com.apple.CoreML/model.mlmodel";

bool itemExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::optional<std::vector<int64_t>> shapeOf(const ml::FeatureDescription* feature) {
    if (feature == nullptr || feature->type != ml::FeatureType::MultiArray || !feature->multiArrayConstraint) {
        return std::nullopt;
    }
    return feature->multiArrayConstraint->shape;
}

std::optional<int64_t> dimensionOf(const std::optional<std::vector<int64_t>>& shape, int64_t position) {
    if (!shape || position < 0 || position >= static_cast<int64_t>(shape->size())) {
        return std::nullopt;
    }
    return (*shape)[static_cast<std::size_t>(position)];
}

} // namespace

fs::path ModelUtilities::detectModelURL(const fs::path& folder, const std::string& name) {
    const fs::path compiled = folder / (name + kCompiledExtension);
    const fs::path package = folder / (name + kPackageExtension) / kPackageModelFile;
    const bool compiledExists = itemExists(compiled);
    const bool packageExists = itemExists(package);
    return compiledExists || !packageExists ? compiled : package;
}

fs::path ModelUtilities::detectModelURL(const fs::path& folder, const std::string& name, bool recursive) {
    if (!recursive) {
        return detectModelURL(folder, name);
    }
    const fs::path compiled = folder / (name + kCompiledExtension);
    if (itemExists(compiled)) {
        return compiled;
    }
    std::error_code error;
    // An unreadable sub-folder is passed over, not the end of the search.
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    if (error) {
        return compiled;
    }
    for (auto end = fs::recursive_directory_iterator(); walk != end; walk.increment(error)) {
        if (error) {
            break;
        }
        if (walk->path().filename() == name + kCompiledExtension) {
            return walk->path();
        }
    }
    return compiled;
}

std::optional<fs::path> ModelUtilities::detectModelURL(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator list(folder, error), end; !error && list != end; list.increment(error)) {
        entries.push_back(list->path());
    }
    if (error) {
        return std::nullopt;
    }
    for (const auto& entry : entries) {
        if (entry.extension() == kCompiledExtension) {
            return entry;
        }
    }
    for (const auto& entry : entries) {
        if (entry.extension() == kPackageExtension) {
            return entry / kPackageModelFile;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<int64_t>> ModelUtilities::getModelInputShape(const std::shared_ptr<const ml::Model>& model,
                                                                       const std::string& name) {
    return model ? shapeOf(model->description().findInput(name)) : std::nullopt;
}

std::optional<std::vector<int64_t>>
ModelUtilities::getModelOutputShape(const std::shared_ptr<const ml::Model>& model, const std::string& name) {
    return model ? shapeOf(model->description().findOutput(name)) : std::nullopt;
}

std::optional<int64_t> ModelUtilities::getModelInputDimension(const std::shared_ptr<const ml::Model>& model,
                                                              const std::string& name, int64_t position) {
    return dimensionOf(getModelInputShape(model, name), position);
}

std::optional<int64_t> ModelUtilities::getModelOutputDimension(const std::shared_ptr<const ml::Model>& model,
                                                               const std::string& name, int64_t position) {
    return dimensionOf(getModelOutputShape(model, name), position);
}

} // namespace orvane
