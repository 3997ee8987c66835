#pragma once
// A model that cannot be loaded: missing or unreadable files, bad description, unknown kind,
// missing, mis-shaped or truncated weights. The message names the model's location and the culprit.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace ml {

class ModelLoadError : public std::runtime_error {
public:
    ModelLoadError(const std::filesystem::path& location, const std::string& problem);

    const std::filesystem::path& location() const { return location_; }
    const std::string& problem() const { return problem_; }

private:
    std::filesystem::path location_;
    std::string problem_;
};

} // namespace ml
