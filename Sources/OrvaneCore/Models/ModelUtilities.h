#pragma once
// Finding a model on disk (compiled "<Name>.mlmodelc" preferred over a "<Name>.mlpackage") and reading the
// shapes of a loaded model's inputs and outputs. Nothing here throws: absence is an empty result.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ML/Model/Model.h"

namespace orvane {

class ModelUtilities {
public:
    /// folder/<name>.mlmodelc when it exists, else the package's model file when that exists, else the
    /// (missing) compiled location.
    static std::filesystem::path detectModelURL(const std::filesystem::path& folder, const std::string& name);
    /// With recursive set: the compiled form at the top, else the first "<name>.mlmodelc" anywhere below,
    /// else the missing top-level compiled location. Packages are not considered.
    static std::filesystem::path detectModelURL(const std::filesystem::path& folder, const std::string& name,
                                                bool recursive);
    /// The first compiled model in the folder, else the model file of its first package, else nothing.
    static std::optional<std::filesystem::path> detectModelURL(const std::filesystem::path& folder);

    static std::optional<std::vector<int64_t>> getModelInputShape(const std::shared_ptr<const ml::Model>& model,
                                                                  const std::string& name);
    static std::optional<std::vector<int64_t>> getModelOutputShape(const std::shared_ptr<const ml::Model>& model,
                                                                   const std::string& name);
    static std::optional<int64_t> getModelInputDimension(const std::shared_ptr<const ml::Model>& model,
                                                         const std::string& name, int64_t position);
    static std::optional<int64_t> getModelOutputDimension(const std::shared_ptr<const ml::Model>& model,
                                                          const std::string& name, int64_t position);
};

} // namespace orvane
