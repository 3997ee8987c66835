#pragma once
// The tensors of a checkpoint in the model hub's layout: one "model.safetensors", or the shards that
// "model.safetensors.index.json" lists. Files are mapped read-only; every error names the file.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ML/Values/MultiArray.h"
#include "Platform/ML/Files/SafeTensorsFile.h"

namespace sonavex {

class CheckpointWeights {
public:
    static constexpr const char* kSingleFileName = "model.safetensors";
    static constexpr const char* kIndexFileName = "model.safetensors.index.json";
    /// The hub file pattern of the shards.
    static constexpr const char* kShardPattern = "model-*-of-*.safetensors";

    /// Opens the single file when present, else the index and its shards. Throws CheckpointConversionError.
    static CheckpointWeights open(const std::filesystem::path& folder);

    /// The single weights file, or the index of the shards.
    const std::filesystem::path& source() const { return source_; }
    /// Every tensor name, sorted.
    std::vector<std::string> names() const;
    /// The tensor, or null.
    const ml::SafeTensor* find(const std::string& name) const;
    /// The file holding a tensor that exists.
    const std::filesystem::path& fileOf(const std::string& name) const;
    /// A copy of an existing tensor's elements in `dataType`.
    ml::MultiArray array(const std::string& name, ml::MultiArrayDataType dataType) const;

private:
    void add(std::shared_ptr<const ml::SafeTensorsFile> file);

    std::filesystem::path source_;
    std::vector<std::shared_ptr<const ml::SafeTensorsFile>> files_;
    std::map<std::string, const ml::SafeTensorsFile*> tensors_;
};

} // namespace sonavex
