#pragma once
// Writes a safetensors weights file: header padded and every tensor aligned to 64 bytes, so a mapped
// file can be read in place by vector kernels.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ML/Values/MultiArray.h"

namespace ml {

class SafeTensorsWriter {
public:
    /// Adds a tensor stored in the array's own element type (F16, F32, F64, I32 or I8).
    void add(const std::string& name, MultiArray values);
    void add(const std::string& name, std::shared_ptr<const MultiArray> values);
    void setMetadata(const std::string& key, const std::string& value);

    /// Writes the file (through a temporary file and a rename); throws std::runtime_error on failure.
    void write(const std::filesystem::path& path) const;

private:
    std::vector<std::pair<std::string, std::shared_ptr<const MultiArray>>> tensors_;
    std::map<std::string, std::string> metadata_;
};

/// The safetensors type code of an element type.
std::string safeTensorDType(MultiArrayDataType dataType);

} // namespace ml
