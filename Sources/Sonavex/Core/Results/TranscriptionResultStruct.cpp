#include "Sonavex/Core/Results/TranscriptionResultStruct.h"

#include "Sonavex/Utilities/JsonCoding.h"

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
    read.text = json::toString(json::required(json, "text"), json::keyContext("text"));
    for (const Json& segment :
         json::requireArray(json::required(json, "segments"), json::keyContext("segments"))) {
        read.segments.push_back(segment.get<TranscriptionSegment>());
    }
    read.language = json::toString(json::required(json, "language"), json::keyContext("language"));
    read.timings = json::required(json, "timings").get<TranscriptionTimings>();
    if (const Json* seekTime = json::optional(json, "seekTime")) {
        read.seekTime = json::toFloat(*seekTime, json::keyContext("seekTime"));
    }
    result = std::move(read);
}

} // namespace sonavex
