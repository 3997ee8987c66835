#pragma once
// A type that owns one loadable model. Overriders of the three-argument loadModel should add
// `using MLModelLoading::loadModel;` so the two-argument form stays visible.

#include <filesystem>

#include "Platform/ML/Model/ComputeUnits.h"

namespace orvane {

class MLModelLoading {
public:
    virtual ~MLModelLoading() = default;

    /// Blocks until the model at `url` is loaded (or prewarmed); throws what loading throws.
    virtual void loadModel(const std::filesystem::path& url, ml::ComputeUnits computeUnits, bool prewarmMode) = 0;
    virtual void unloadModel() = 0;

    /// loadModel with prewarm mode off.
    void loadModel(const std::filesystem::path& url, ml::ComputeUnits computeUnits) {
        loadModel(url, computeUnits, false);
    }
};

} // namespace orvane
