#include "Sonavex/Core/Results/TranscriptionSegment.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Results/RecordHashing.h"
#include "Sonavex/Utilities/JsonCoding.h"

#include <charconv>

namespace sonavex {

using json::Json;

namespace {

int64_t tokenIdKey(const std::string& key) {
    int64_t id = 0;
    auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
    if (key.empty() || error != std::errc() || end != key.data() + key.size()) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Expected a token id as the key of tokenLogProbs but found \"" + key +
                                        "\".");
    }
    return id;
}

float requiredFloat(const Json& object, const char* key) {
    return json::toFloat(json::required(object, key), json::keyContext(key));
}

} // namespace

std::size_t hashValue(const TranscriptionSegment& segment) {
    Hasher hasher;
    feed(hasher, segment);
    return hasher.finalize();
}

void to_json(Json& json, const TranscriptionSegment& segment) {
    json = Json::object();
    json["id"] = segment.id;
    json["seek"] = segment.seek;
    json["start"] = json::fromFloat(segment.start);
    json["end"] = json::fromFloat(segment.end);
    json["text"] = segment.text;
    json["tokens"] = segment.tokens;
    Json logProbs = Json::array();
    for (const auto& probabilities : segment.tokenLogProbs) {
        Json entry = Json::object();
        for (const auto& [token, logProb] : probabilities) {
            entry[std::to_string(token)] = json::fromFloat(logProb);
        }
        logProbs.push_back(std::move(entry));
    }
    json["tokenLogProbs"] = std::move(logProbs);
    json["temperature"] = json::fromFloat(segment.temperature);
    json["avgLogprob"] = json::fromFloat(segment.avgLogprob);
    json["compressionRatio"] = json::fromFloat(segment.compressionRatio);
    json["noSpeechProb"] = json::fromFloat(segment.noSpeechProb);
    if (segment.words) {
        json["words"] = *segment.words;
    }
}

void from_json(const Json& json, TranscriptionSegment& segment) {
    json::requireObject(json, "TranscriptionSegment");
    TranscriptionSegment read;
    read.id = json::toInt(json::required(json, "id"), json::keyContext("id"));
    read.seek = json::toInt(json::required(json, "seek"), json::keyContext("seek"));
    read.start = requiredFloat(json, "start");
    read.end = requiredFloat(json, "end");
    read.text = json::toString(json::required(json, "text"), json::keyContext("text"));
    read.tokens = json::toIntArray(json::required(json, "tokens"), json::keyContext("tokens"));
    const Json& logProbs =
        json::requireArray(json::required(json, "tokenLogProbs"), json::keyContext("tokenLogProbs"));
    for (const Json& entry : logProbs) {
        json::requireObject(entry, "Dictionary<Int, Float>");
        std::map<int64_t, float> probabilities;
        for (const auto& [key, value] : entry.items()) {
            probabilities[tokenIdKey(key)] = json::toFloat(value, "a token's log-probability");
        }
        read.tokenLogProbs.push_back(std::move(probabilities));
    }
    read.temperature = requiredFloat(json, "temperature");
    read.avgLogprob = requiredFloat(json, "avgLogprob");
    read.compressionRatio = requiredFloat(json, "compressionRatio");
    read.noSpeechProb = requiredFloat(json, "noSpeechProb");
    if (const Json* words = json::optional(json, "words")) {
        read.words.emplace();
        for (const Json& word : json::requireArray(*words, json::keyContext("words"))) {
            read.words->push_back(word.get<WordTiming>());
        }
    }
    segment = std::move(read);
}

} // namespace sonavex
