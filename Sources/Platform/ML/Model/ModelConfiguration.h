#pragma once
// How to load a model: the requested compute units and where compiled packages are cached.

#include <filesystem>

#include "Platform/ML/Model/ComputeUnits.h"

namespace ml {

struct ModelConfiguration {
    ComputeUnits computeUnits = ComputeUnits::all;
    /// Where a package is compiled to before it runs; empty means the user's cache folder
    /// ($XDG_CACHE_HOME or ~/.cache, then "velmora/compiled-models").
    std::filesystem::path compiledModelCacheDirectory;
};

} // namespace ml
