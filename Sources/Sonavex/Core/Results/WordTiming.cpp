#include "Sonavex/Core/Results/WordTiming.h"

#include "Sonavex/Core/Results/RecordHashing.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

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
    read.word = json::decodeKey(json, "word", &json::toString);
    read.tokens = json::decodeKey(json, "tokens", &json::toIntArray);
    read.start = json::decodeKey(json, "start", &json::toFloat);
    read.end = json::decodeKey(json, "end", &json::toFloat);
    read.probability = json::decodeKey(json, "probability", &json::toFloat);
    timing = std::move(read);
}

} // namespace sonavex
