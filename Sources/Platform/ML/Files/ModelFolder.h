#pragma once
// A model's files read and checked: the JSON description ("model.json" in a compiled model) and the mapped
// weights. This is what a model kind is built from; every problem is a ModelLoadError naming the location
// and the file.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ML/Model/ModelDescription.h"
#include "Platform/ML/Files/ModelParameters.h"
#include "Platform/ML/Files/SafeTensorsFile.h"

namespace ml {

class ModelFolder {
public:
    static constexpr const char* kDescriptionFileName = "model.json";
    static constexpr const char* kWeightsFileName = "weights.safetensors";

    /// Reads a compiled model folder ("<Name>.mlmodelc").
    static ModelFolder read(const std::filesystem::path& compiledFolder);
    /// Reads a description and a weights file that may live elsewhere (a package's inner files);
    /// `location` is what error messages name.
    static ModelFolder read(const std::filesystem::path& location, const std::filesystem::path& descriptionFile,
                            const std::filesystem::path& weightsFile);

    /// The JSON text of a description, as read() expects it.
    static std::string descriptionJson(const std::string& kind, const ModelParameters& parameters,
                                       const ModelDescription& description);

    const std::filesystem::path& location() const { return location_; }
    const std::string& kind() const { return kind_; }
    const ModelParameters& parameters() const { return parameters_; }
    const ModelDescription& description() const { return description_; }
    const SafeTensorsFile& weights() const { return *weights_; }
    const std::shared_ptr<const SafeTensorsFile>& sharedWeights() const { return weights_; }

    /// Checks that the description declares this multi-array input (output) with exactly this element
    /// type and shape; throws std::invalid_argument saying what differs.
    void requireInput(const std::string& name, MultiArrayDataType dataType, const std::vector<int64_t>& shape) const;
    void requireOutput(const std::string& name, MultiArrayDataType dataType, const std::vector<int64_t>& shape) const;

private:
    std::filesystem::path location_;
    std::string kind_;
    ModelParameters parameters_;
    ModelDescription description_;
    std::shared_ptr<const SafeTensorsFile> weights_;
};

} // namespace ml
