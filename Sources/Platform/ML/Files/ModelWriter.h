#pragma once
// Writes a model in our formats: compiled ("<Name>.mlmodelc/" with model.json and weights.safetensors) or
// package ("<Name>.mlpackage/Data/com.apple.CoreML/" with model.mlmodel and weights.safetensors). Used by
// the test-model generator, tests and benchmarks.

#include <filesystem>
#include <string>

#include "Platform/ML/Model/ModelDescription.h"
#include "Platform/ML/Files/ModelParameters.h"
#include "Platform/ML/Files/SafeTensorsWriter.h"

namespace ml {

class ModelWriter {
public:
    explicit ModelWriter(std::string kind) : kind_(std::move(kind)) {}

    ModelParameters& parameters() { return parameters_; }
    ModelDescription& description() { return description_; }

    /// Adds a weight, stored in the array's element type.
    void addTensor(const std::string& name, MultiArray values) { weights_.add(name, std::move(values)); }

    /// Writes the folder (created when missing; its two files are replaced). Throws std::runtime_error.
    void writeCompiled(const std::filesystem::path& folder) const;
    void writePackage(const std::filesystem::path& folder) const;

private:
    void writeFiles(const std::filesystem::path& descriptionFile, const std::filesystem::path& weightsFile) const;

    std::string kind_;
    ModelParameters parameters_;
    ModelDescription description_;
    SafeTensorsWriter weights_;
};

} // namespace ml
