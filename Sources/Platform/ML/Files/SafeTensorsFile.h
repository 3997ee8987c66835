#pragma once
// A weights file in the safetensors layout (8-byte little-endian header length, JSON header, raw data),
// mapped read-only. Opening checks the whole header against the file, so a truncated or corrupt file
// fails at once with ModelLoadError naming the file and the tensor, never later inside a kernel.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ML/Values/MultiArray.h"

namespace ml {

struct SafeTensor {
    std::string name;
    /// The file's element type code: "F16", "BF16", "F32", "F64", "I8", "I32" or "I64".
    std::string dtype;
    std::vector<int64_t> shape;
    /// Raw little-endian elements inside the mapping (64-byte aligned in files our writer made).
    const std::byte* data = nullptr;
    std::size_t byteCount = 0;

    int64_t count() const;
};

class SafeTensorsFile {
public:
    /// Maps and checks the file; throws ModelLoadError.
    static std::shared_ptr<const SafeTensorsFile> open(const std::filesystem::path& path);

    SafeTensorsFile(const SafeTensorsFile&) = delete;
    SafeTensorsFile& operator=(const SafeTensorsFile&) = delete;
    ~SafeTensorsFile();

    const std::filesystem::path& path() const { return path_; }
    std::vector<std::string> names() const;
    const std::map<std::string, std::string>& metadata() const { return metadata_; }

    /// The tensor, or null.
    const SafeTensor* find(const std::string& name) const;
    /// The tensor; throws ModelLoadError when it is missing or, given a shape, shaped otherwise.
    const SafeTensor& tensor(const std::string& name) const;
    const SafeTensor& tensor(const std::string& name, const std::vector<int64_t>& expectedShape) const;

    /// A copy of the tensor's elements converted to `dataType`, in fresh aligned storage.
    MultiArray array(const std::string& name, MultiArrayDataType dataType = MultiArrayDataType::Float32) const;
    MultiArray array(const std::string& name, const std::vector<int64_t>& expectedShape,
                     MultiArrayDataType dataType = MultiArrayDataType::Float32) const;

    /// Lets go of the pages read so far: kinds that keep their own (packed) copies call it as they load, so
    /// the file's pages and the copies are not resident at once. Nothing is lost: a page used again is
    /// read again from the file.
    void releaseReadPages() const;

private:
    SafeTensorsFile() = default;

    std::filesystem::path path_;
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::map<std::string, SafeTensor> tensors_;
    std::map<std::string, std::string> metadata_;
};

/// Bytes per element of a safetensors type code; 0 for an unknown one.
std::size_t safeTensorElementSize(const std::string& dtype);

} // namespace ml
