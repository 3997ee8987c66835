#include "Sonavex/Core/Results/TranscriptionResultStruct.h"

#include "Sonavex/Utilities/Formats/JsonCoding.h"

namespace sonavex {

using json::Json;

void to_json(Json& json, const TranscriptionResultStruct& result) {
    json = Json::object();
    json["text"] = result.text;
    json["segments"] = result.segments;
    json["language"] = result.language;
    json["timings"] = result.timings;
    if (result.seekTime) {
        json["seekTime"] = json::fromFloat(*result.seekTime);
    }
}

void from_json(const Json& json, TranscriptionResultStruct& result) {
    json::requireObject(json, "TranscriptionResultStruct");
    TranscriptionResultStruct read;
    read.text = json::decodeKey(json, "text", &json::toString);
    read.segments = json::decodeKey(json, "segments", &segmentsFromJson);
    read.language = json::decodeKey(json, "language", &json::toString);
    read.timings = json::required(json, "timings").get<TranscriptionTimings>();
    read.seekTime = json::decodeOptionalKey(json, "seekTime", &json::toFloat);
    result = std::move(read);
}

} // namespace sonavex
