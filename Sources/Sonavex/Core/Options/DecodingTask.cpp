#include "Sonavex/Core/Options/DecodingTask.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

namespace sonavex {

std::string_view description(DecodingTask task) {
    return task == DecodingTask::translate ? "translate" : "transcribe";
}

void to_json(nlohmann::ordered_json& json, const DecodingTask& task) {
    json = nlohmann::ordered_json::object();
    json[std::string(description(task))] = nlohmann::ordered_json::object();
}

void from_json(const nlohmann::ordered_json& json, DecodingTask& task) {
    json::requireObject(json, "DecodingTask");
    const bool transcribe = json.contains("transcribe");
    const bool translate = json.contains("translate");
    if (transcribe == translate) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Invalid number of keys found, expected one.");
    }
    const char* key = transcribe ? "transcribe" : "translate";
    json::requireObject(json.at(key), key);
    task = transcribe ? DecodingTask::transcribe : DecodingTask::translate;
}

} // namespace sonavex
