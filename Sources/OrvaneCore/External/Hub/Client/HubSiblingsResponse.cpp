#include "OrvaneCore/External/Hub/Client/HubSiblingsResponse.h"

#include "OrvaneCore/Errors/DecodingError.h"

#include <nlohmann/json.hpp>

namespace orvane {

namespace {

const nlohmann::json& member(const nlohmann::json& object, const char* key, const std::string& where) {
    if (!object.is_object()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a keyed object" + where + ".");
    }
    auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            std::string("No value associated with key \"") + key + "\"" + where + ".");
    }
    if (found->is_null()) {
        throw DecodingError(DecodingError::Kind::valueNotFound, std::string("Expected a value for key \"") +
                                                                    key + "\"" + where + " but found null.");
    }
    return *found;
}

} // namespace

HubSiblingsResponse HubSiblingsResponse::decode(std::string_view json) {
    nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded()) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, "The given data was not valid JSON.");
    }
    const nlohmann::json& list = member(document, "siblings", "");
    if (!list.is_array()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode an array for key \"siblings\".");
    }
    HubSiblingsResponse response;
    response.siblings.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        std::string where = " in siblings[" + std::to_string(i) + "]";
        const nlohmann::json& name = member(list[i], "rfilename", where);
        if (!name.is_string()) {
            throw DecodingError(DecodingError::Kind::typeMismatch,
                                "Expected to decode a string for key \"rfilename\"" + where + ".");
        }
        response.siblings.push_back(HubSibling{name.get<std::string>()});
    }
    return response;
}

std::string HubSiblingsResponse::encode() const {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& sibling : siblings) {
        list.push_back({{"rfilename", sibling.rfilename}});
    }
    return nlohmann::json{{"siblings", list}}.dump();
}

} // namespace orvane
