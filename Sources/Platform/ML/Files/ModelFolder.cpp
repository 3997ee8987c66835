#include "Platform/ML/Files/ModelFolder.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>

#include "Platform/ML/Files/BoundedJson.h"
#include "Platform/ML/Model/ModelLoadError.h"

namespace ml {

namespace {

constexpr int kFormatVersion = 1;

std::string readText(const std::filesystem::path& location, const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ModelLoadError(location, "cannot read " + file.filename().string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<FeatureDescription> readFeatures(const nlohmann::json& root, const char* section,
                                             const std::filesystem::path& location, const std::string& fileName) {
    auto problem = [&](const std::string& what) { return ModelLoadError(location, fileName + ": " + what); };
    if (!root.contains(section) || !root[section].is_array()) {
        throw problem(std::string("no \"") + section + "\" list");
    }
    std::vector<FeatureDescription> features;
    std::set<std::string> seen;
    for (const auto& entry : root[section]) {
        std::string where = std::string(section) + " entry " + std::to_string(features.size());
        if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string()) {
            throw problem(where + " has no \"name\"");
        }
        FeatureDescription feature;
        feature.name = entry["name"].get<std::string>();
        where = std::string(section) + " \"" + feature.name + "\"";
        if (!seen.insert(feature.name).second) {
            throw problem(where + " is declared twice");
        }
        if (entry.contains("type") && !entry["type"].is_string()) {
            throw problem(where + " has a \"type\" that is not a text");
        }
        std::string typeName = entry.value("type", std::string("multiArray"));
        auto type = featureTypeNamed(typeName);
        if (!type || *type == FeatureType::Invalid) {
            throw problem(where + " has unknown type \"" + typeName + "\"");
        }
        feature.type = *type;
        if (entry.contains("optional")) {
            if (!entry["optional"].is_boolean()) {
                throw problem(where + " has a non-boolean \"optional\"");
            }
            feature.isOptional = entry["optional"].get<bool>();
        }
        if (feature.type == FeatureType::MultiArray) {
            if (!entry.contains("dataType") || !entry["dataType"].is_string()) {
                throw problem(where + " has no \"dataType\"");
            }
            auto dataType = dataTypeNamed(entry["dataType"].get<std::string>());
            if (!dataType) {
                throw problem(where + " has unknown dataType \"" + entry["dataType"].get<std::string>() + "\"");
            }
            if (!entry.contains("shape") || !entry["shape"].is_array() || entry["shape"].empty()) {
                throw problem(where + " has no \"shape\"");
            }
            MultiArrayConstraint constraint;
            constraint.dataType = *dataType;
            for (const auto& size : entry["shape"]) {
                if (!size.is_number_unsigned()) {
                    throw problem(where + " has a shape entry that is not a non-negative integer");
                }
                constraint.shape.push_back(static_cast<int64_t>(size.get<uint64_t>()));
            }
            feature.multiArrayConstraint = std::move(constraint);
        }
        features.push_back(std::move(feature));
    }
    return features;
}

nlohmann::json featuresJson(const std::vector<FeatureDescription>& features) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& feature : features) {
        nlohmann::json entry = {{"name", feature.name}, {"type", featureTypeName(feature.type)}};
        if (feature.isOptional) {
            entry["optional"] = true;
        }
        if (feature.multiArrayConstraint) {
            entry["dataType"] = dataTypeName(feature.multiArrayConstraint->dataType);
            entry["shape"] = feature.multiArrayConstraint->shape;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

void requireFeature(const FeatureDescription* feature, const char* section, const std::string& name,
                    MultiArrayDataType dataType, const std::vector<int64_t>& shape) {
    const std::string expected = dataTypeName(dataType) + " " + shapeDescription(shape);
    if (feature == nullptr) {
        throw std::invalid_argument(std::string("the description declares no ") + section + " \"" + name +
                                    "\" (expected " + expected + ")");
    }
    if (feature->type != FeatureType::MultiArray || !feature->multiArrayConstraint) {
        throw std::invalid_argument(std::string(section) + " \"" + name + "\" must be a multiArray " + expected);
    }
    const auto& constraint = *feature->multiArrayConstraint;
    if (constraint.dataType != dataType || constraint.shape != shape) {
        throw std::invalid_argument(std::string(section) + " \"" + name + "\" is declared as " +
                                    dataTypeName(constraint.dataType) + " " + shapeDescription(constraint.shape) +
                                    ", expected " + expected);
    }
}

} // namespace

ModelFolder ModelFolder::read(const std::filesystem::path& compiledFolder) {
    if (!std::filesystem::is_directory(compiledFolder)) {
        throw ModelLoadError(compiledFolder, "no model folder exists at this location");
    }
    return read(compiledFolder, compiledFolder / kDescriptionFileName, compiledFolder / kWeightsFileName);
}

ModelFolder ModelFolder::read(const std::filesystem::path& location, const std::filesystem::path& descriptionFile,
                              const std::filesystem::path& weightsFile) {
    const std::string fileName = descriptionFile.filename().string();
    if (!std::filesystem::is_regular_file(descriptionFile)) {
        throw ModelLoadError(location, "missing description file " + fileName);
    }
    bool tooDeep = false;
    nlohmann::json root = parseBoundedJson(readText(location, descriptionFile), tooDeep);
    if (tooDeep) {
        throw ModelLoadError(location, fileName + " nests deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    if (root.is_discarded() || !root.is_object()) {
        throw ModelLoadError(location, fileName + " is not a valid JSON object");
    }
    ModelFolder folder;
    folder.location_ = location;
    if (root.contains("formatVersion")) {
        if (!root["formatVersion"].is_number_integer() || root["formatVersion"].get<int64_t>() > kFormatVersion) {
            throw ModelLoadError(location, fileName + " has an unsupported \"formatVersion\"");
        }
    }
    if (!root.contains("kind") || !root["kind"].is_string()) {
        throw ModelLoadError(location, fileName + ": no \"kind\"");
    }
    folder.kind_ = root["kind"].get<std::string>();
    if (root.contains("parameters")) {
        if (!root["parameters"].is_object()) {
            throw ModelLoadError(location, fileName + ": \"parameters\" is not an object");
        }
        folder.parameters_ = ModelParameters::fromJson(root["parameters"].dump());
    }
    folder.description_.inputs = readFeatures(root, "inputs", location, fileName);
    folder.description_.outputs = readFeatures(root, "outputs", location, fileName);
    if (root.contains("metadata") && root["metadata"].is_object()) {
        for (const auto& [key, value] : root["metadata"].items()) {
            if (value.is_string()) {
                folder.description_.metadata[key] = value.get<std::string>();
            }
        }
    }
    if (!std::filesystem::is_regular_file(weightsFile)) {
        throw ModelLoadError(location, "missing weights file " + weightsFile.filename().string());
    }
    folder.weights_ = SafeTensorsFile::open(weightsFile);
    return folder;
}

std::string ModelFolder::descriptionJson(const std::string& kind, const ModelParameters& parameters,
                                         const ModelDescription& description) {
    nlohmann::json root = {{"formatVersion", kFormatVersion},
                           {"kind", kind},
                           {"parameters", nlohmann::json::parse(parameters.toJson())},
                           {"inputs", featuresJson(description.inputs)},
                           {"outputs", featuresJson(description.outputs)}};
    if (!description.metadata.empty()) {
        root["metadata"] = description.metadata;
    }
    return root.dump(2) + "\n";
}

void ModelFolder::requireInput(const std::string& name, MultiArrayDataType dataType,
                               const std::vector<int64_t>& shape) const {
    requireFeature(description_.findInput(name), "input", name, dataType, shape);
}

void ModelFolder::requireOutput(const std::string& name, MultiArrayDataType dataType,
                                const std::vector<int64_t>& shape) const {
    requireFeature(description_.findOutput(name), "output", name, dataType, shape);
}

} // namespace ml
