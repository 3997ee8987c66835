#include "Sonavex/Core/Results/WordTiming.h"

#include "Sonavex/Core/Results/RecordHashing.h"
#include "Sonavex/Utilities/JsonCoding.h"

namespace sonavex {

using json::Json;

std::size_t hashValue(const WordTiming& timing) {
    Hasher hasher;
    feed(hasher, timing);
    return hasher.finalize();
}

void to_json(Json& json, const WordTiming& timing) {
    json = Json::object();
    json["word"] = timing.word;
    json["tokens"] = timing.tokens;
    json["start"] = json::fromFloat(timing.start);
    json["end"] = json::fromFloat(timing.end);
    json["probability"] = json::fromFloat(timing.probability);
}

void from_json(const Json& json, WordTiming& timing) {
    json::requireObject(json, "WordTiming");
    WordTiming read;
    read.word = json::toString(json::required(json, "word"), json::keyContext("word"));
    read.tokens = json::toIntArray(json::required(json, "tokens"), json::keyContext("tokens"));
    read.start = json::toFloat(json::required(json, "start"), json::keyContext("start"));
    read.end = json::toFloat(json::required(json, "end"), json::keyContext("end"));
    read.probability = json::toFloat(json::required(json, "probability"), json::keyContext("probability"));
    timing = std::move(read);
}

} // namespace sonavex
