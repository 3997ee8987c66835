#include "Platform/ML/Model/ModelLoadError.h"

namespace ml {

ModelLoadError::ModelLoadError(const std::filesystem::path& location, const std::string& problem)
    : std::runtime_error("Cannot load model at " + location.string() + ": " + problem), location_(location),
      problem_(problem) {}

} // namespace ml
