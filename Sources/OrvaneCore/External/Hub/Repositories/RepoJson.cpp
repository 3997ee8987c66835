#include "OrvaneCore/External/Hub/Repositories/RepoJson.h"

#include "OrvaneCore/Errors/DecodingError.h"

#include <nlohmann/json.hpp>

namespace orvane {

namespace {

std::string requiredString(const nlohmann::json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            std::string("No value associated with key \"") + key + "\".");
    }
    if (found->is_null()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            std::string("Expected String value for key \"") + key +
                                "\" but found null instead.");
    }
    if (!found->is_string()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            std::string("Expected to decode String for key \"") + key + "\".");
    }
    return found->get<std::string>();
}

HubRepoType knownKind(const std::string& raw) {
    auto type = hubRepoTypeFromRawValue(raw);
    if (!type) {
        throw DecodingError(DecodingError::Kind::dataCorrupted,
                            "Cannot initialize RepoType from invalid String value " + raw);
    }
    return *type;
}

} // namespace

std::string toJson(HubRepoType type) {
    return nlohmann::json(rawValue(type)).dump();
}

HubRepoType hubRepoTypeFromJson(std::string_view json) {
    nlohmann::json value = nlohmann::json::parse(json, nullptr, false);
    if (value.is_discarded()) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, "The given data was not valid JSON.");
    }
    if (!value.is_string()) {
        throw DecodingError(DecodingError::Kind::typeMismatch, "Expected to decode String.");
    }
    return knownKind(value.get<std::string>());
}

std::string encodeRepoJson(const std::string& id, const std::string& kind) {
    nlohmann::ordered_json object;
    object["id"] = id;
    object["type"] = kind;
    return object.dump();
}

std::pair<std::string, HubRepoType> decodeRepoJson(std::string_view json) {
    nlohmann::json object = nlohmann::json::parse(json, nullptr, false);
    if (object.is_discarded()) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, "The given data was not valid JSON.");
    }
    if (!object.is_object()) {
        throw DecodingError(DecodingError::Kind::typeMismatch, "Expected to decode a keyed object.");
    }
    std::string id = requiredString(object, "id");
    HubRepoType type = knownKind(requiredString(object, "type"));
    return {std::move(id), type};
}

} // namespace orvane
