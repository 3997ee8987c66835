#include "Sonavex/Core/Results/TranscriptionSegment.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Results/RecordHashing.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

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

std::map<int64_t, float> toLogProbs(const Json& value, std::string_view) {
    std::map<int64_t, float> probabilities;
    for (const auto& [key, logProb] : json::requireObject(value, "Dictionary<Int, Float>").items()) {
        probabilities[tokenIdKey(key)] = json::toFloat(logProb, "a token's log-probability");
    }
    return probabilities;
}

std::vector<std::map<int64_t, float>> toLogProbsList(const Json& value, std::string_view context) {
    return json::toArray(value, context, &toLogProbs);
}

WordTiming toWordTiming(const Json& value, std::string_view) {
    return value.get<WordTiming>();
}

std::vector<WordTiming> toWords(const Json& value, std::string_view context) {
    return json::toArray(value, context, &toWordTiming);
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
    using json::decodeKey, json::toFloat, json::toInt;
    TranscriptionSegment read;
    read.id = decodeKey(json, "id", &toInt);
    read.seek = decodeKey(json, "seek", &toInt);
    read.start = decodeKey(json, "start", &toFloat);
    read.end = decodeKey(json, "end", &toFloat);
    read.text = decodeKey(json, "text", &json::toString);
    read.tokens = decodeKey(json, "tokens", &json::toIntArray);
    read.tokenLogProbs = decodeKey(json, "tokenLogProbs", &toLogProbsList);
    read.temperature = decodeKey(json, "temperature", &toFloat);
    read.avgLogprob = decodeKey(json, "avgLogprob", &toFloat);
    read.compressionRatio = decodeKey(json, "compressionRatio", &toFloat);
    read.noSpeechProb = decodeKey(json, "noSpeechProb", &toFloat);
    read.words = json::decodeOptionalKey(json, "words", &toWords);
    segment = std::move(read);
}

} // namespace sonavex

namespace sonavex {

namespace {

TranscriptionSegment toSegment(const Json& value, std::string_view) {
    return value.get<TranscriptionSegment>();
}

} // namespace

std::vector<TranscriptionSegment> segmentsFromJson(const Json& json, std::string_view context) {
    return json::toArray(json, context, &toSegment);
}

} // namespace sonavex
