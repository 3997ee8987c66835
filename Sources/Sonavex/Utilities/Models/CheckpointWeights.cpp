#include "Sonavex/Utilities/Models/CheckpointWeights.h"

#include "Platform/ML/Model/ModelLoadError.h"
#include "Sonavex/Utilities/Models/CheckpointConversionError.h"
#include "Sonavex/Utilities/Models/CheckpointJson.h"

#include <nlohmann/json.hpp>
#include <set>

namespace fs = std::filesystem;

namespace sonavex {
namespace {

std::shared_ptr<const ml::SafeTensorsFile> openFile(const fs::path& path) {
    if (!fs::is_regular_file(path)) {
        throw CheckpointConversionError(path.string() + ": missing");
    }
    try {
        return ml::SafeTensorsFile::open(path);
    } catch (const ml::ModelLoadError& error) {
        throw CheckpointConversionError(error.what());
    }
}

// A shard must be a plain file name inside the checkpoint folder: an index is downloaded data.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

} // namespace

CheckpointWeights CheckpointWeights::open(const fs::path& folder) {
    CheckpointWeights weights;
    const fs::path single = folder / kSingleFileName;
    if (fs::exists(single)) {
        weights.source_ = single;
        weights.add(openFile(single));
        return weights;
    }
    const fs::path indexFile = folder / kIndexFileName;
    if (!fs::exists(indexFile)) {
        throw CheckpointConversionError(folder.string() + ": missing " + kSingleFileName + " and " +
                                        kIndexFileName);
    }
    weights.source_ = indexFile;
    const nlohmann::json index = checkpoint::readObject(indexFile);
    const auto map = index.find("weight_map");
    if (map == index.end() || !map->is_object()) {
        throw CheckpointConversionError(indexFile.string() + ": missing key \"weight_map\" (an object)");
    }
    std::set<std::string> shards;
    for (const auto& [tensor, shard] : map->items()) {
        if (!shard.is_string() || !isPlainFileName(shard.get<std::string>())) {
            throw CheckpointConversionError(indexFile.string() + ": key \"weight_map\" gives tensor " + tensor +
                                            " no plain shard file name");
        }
        shards.insert(shard.get<std::string>());
    }
    for (const std::string& shard : shards) {
        weights.add(openFile(folder / shard));
    }
    for (const auto& [tensor, shard] : map->items()) {
        const ml::SafeTensor* found = weights.find(tensor);
        if (!found || weights.fileOf(tensor).filename() != shard.get<std::string>()) {
            throw CheckpointConversionError((folder / shard.get<std::string>()).string() + ": missing tensor " +
                                            tensor + " that " + kIndexFileName + " places there");
        }
    }
    return weights;
}

void CheckpointWeights::add(std::shared_ptr<const ml::SafeTensorsFile> file) {
    for (const std::string& name : file->names()) {
        const auto [place, added] = tensors_.emplace(name, file.get());
        if (!added) {
            throw CheckpointConversionError(file->path().string() + ": tensor " + name + " is also in " +
                                            place->second->path().string());
        }
    }
    files_.push_back(std::move(file));
}

std::vector<std::string> CheckpointWeights::names() const {
    std::vector<std::string> names;
    for (const auto& entry : tensors_) {
        names.push_back(entry.first);
    }
    return names;
}

const ml::SafeTensor* CheckpointWeights::find(const std::string& name) const {
    const auto found = tensors_.find(name);
    return found == tensors_.end() ? nullptr : found->second->find(name);
}

const fs::path& CheckpointWeights::fileOf(const std::string& name) const {
    return tensors_.at(name)->path();
}

ml::MultiArray CheckpointWeights::array(const std::string& name, ml::MultiArrayDataType dataType) const {
    return tensors_.at(name)->array(name, dataType);
}

} // namespace sonavex
