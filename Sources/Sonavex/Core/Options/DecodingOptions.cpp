#include "Sonavex/Core/Options/DecodingOptions.h"

#include "OrvaneCore/Logging/Describing.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <cmath>

namespace sonavex {

using json::Json;

DecodingOptions::DecodingOptions(const Arguments& arguments)
    : verbose(arguments.verbose), task(arguments.task), language(arguments.language),
      temperature(arguments.temperature),
      temperatureIncrementOnFallback(arguments.temperatureIncrementOnFallback),
      temperatureFallbackCount(arguments.temperatureFallbackCount), sampleLength(arguments.sampleLength),
      topK(arguments.topK), usePrefillPrompt(arguments.usePrefillPrompt),
      detectLanguage(arguments.detectLanguage.value_or(!arguments.usePrefillPrompt)),
      skipSpecialTokens(arguments.skipSpecialTokens), withoutTimestamps(arguments.withoutTimestamps),
      wordTimestamps(arguments.wordTimestamps), maxInitialTimestamp(arguments.maxInitialTimestamp),
      maxWindowSeek(arguments.maxWindowSeek), clipTimestamps(arguments.clipTimestamps),
      windowClipTime(arguments.windowClipTime), promptTokens(arguments.promptTokens),
      prefixTokens(arguments.prefixTokens), suppressBlank(arguments.suppressBlank),
      suppressTokens(arguments.suppressTokens.value_or(std::vector<int64_t>{})),
      compressionRatioThreshold(arguments.compressionRatioThreshold),
      logProbThreshold(arguments.logProbThreshold),
      firstTokenLogProbThreshold(arguments.firstTokenLogProbThreshold),
      noSpeechThreshold(arguments.noSpeechThreshold),
      concurrentWorkerCount(arguments.concurrentWorkerCount.value_or(16)),
      chunkingStrategy(arguments.chunkingStrategy) {}

namespace {

int64_t sampleIndex(float seconds) {
    const float samples = std::round(seconds * 16000.0f);
    // Float-to-integer conversion outside the target's range is undefined: refuse it by name.
    if (!std::isfinite(samples) || samples < -0x1p63f || samples >= 0x1p63f) {
        throw WhisperError::transcriptionFailed("Clip timestamp " + orvane::describing(seconds) +
                                                " cannot be turned into a sample index");
    }
    return static_cast<int64_t>(samples);
}

} // namespace

std::vector<SeekClip> DecodingOptions::prepareSeekClips(int64_t contentFrames) const {
    std::vector<int64_t> points;
    points.reserve(clipTimestamps.size() + 1);
    for (float seconds : clipTimestamps) {
        points.push_back(sampleIndex(seconds));
    }
    if (points.empty()) {
        points.push_back(0);
    }
    if (points.size() % 2 == 1) {
        points.push_back(contentFrames);
    }
    std::vector<SeekClip> clips;
    clips.reserve(points.size() / 2);
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
        clips.push_back({points[i], points[i + 1]});
    }
    return clips;
}

namespace {

Json floats(const std::vector<float>& values) {
    Json array = Json::array();
    for (float value : values) {
        array.push_back(json::fromFloat(value));
    }
    return array;
}

ChunkingStrategy toChunkingStrategy(const Json& value, std::string_view) {
    return value.get<ChunkingStrategy>();
}

DecodingTask toDecodingTask(const Json& value, std::string_view) {
    return value.get<DecodingTask>();
}

void putOptionalFloat(Json& json, const char* key, std::optional<float> value) {
    if (value) {
        json[key] = json::fromFloat(*value);
    }
}

} // namespace

void to_json(Json& json, const DecodingOptions& options) {
    json = Json::object();
    json["verbose"] = options.verbose;
    json["task"] = options.task;
    if (options.language) {
        json["language"] = *options.language;
    }
    json["temperature"] = json::fromFloat(options.temperature);
    json["temperatureIncrementOnFallback"] = json::fromFloat(options.temperatureIncrementOnFallback);
    json["temperatureFallbackCount"] = options.temperatureFallbackCount;
    json["sampleLength"] = options.sampleLength;
    json["topK"] = options.topK;
    json["usePrefillPrompt"] = options.usePrefillPrompt;
    json["detectLanguage"] = options.detectLanguage;
    json["skipSpecialTokens"] = options.skipSpecialTokens;
    json["withoutTimestamps"] = options.withoutTimestamps;
    json["wordTimestamps"] = options.wordTimestamps;
    putOptionalFloat(json, "maxInitialTimestamp", options.maxInitialTimestamp);
    if (options.maxWindowSeek) {
        json["maxWindowSeek"] = *options.maxWindowSeek;
    }
    json["clipTimestamps"] = floats(options.clipTimestamps);
    json["windowClipTime"] = json::fromFloat(options.windowClipTime);
    if (options.promptTokens) {
        json["promptTokens"] = *options.promptTokens;
    }
    if (options.prefixTokens) {
        json["prefixTokens"] = *options.prefixTokens;
    }
    json["suppressBlank"] = options.suppressBlank;
    json["suppressTokens"] = options.suppressTokens;
    putOptionalFloat(json, "compressionRatioThreshold", options.compressionRatioThreshold);
    putOptionalFloat(json, "logProbThreshold", options.logProbThreshold);
    putOptionalFloat(json, "firstTokenLogProbThreshold", options.firstTokenLogProbThreshold);
    putOptionalFloat(json, "noSpeechThreshold", options.noSpeechThreshold);
    json["concurrentWorkerCount"] = options.concurrentWorkerCount;
    if (options.chunkingStrategy) {
        json["chunkingStrategy"] = *options.chunkingStrategy;
    }
}

void from_json(const Json& json, DecodingOptions& options) {
    json::requireObject(json, "DecodingOptions");
    // Built whole in a local first, so a failure leaves `options` untouched.
    using json::decodeKey, json::decodeOptionalKey, json::toBool, json::toInt, json::toFloat;
    DecodingOptions read;
    read.verbose = decodeKey(json, "verbose", &toBool);
    read.task = decodeKey(json, "task", &toDecodingTask);
    read.language = decodeOptionalKey(json, "language", &json::toString);
    read.temperature = decodeKey(json, "temperature", &toFloat);
    read.temperatureIncrementOnFallback = decodeKey(json, "temperatureIncrementOnFallback", &toFloat);
    read.temperatureFallbackCount = decodeKey(json, "temperatureFallbackCount", &toInt);
    read.sampleLength = decodeKey(json, "sampleLength", &toInt);
    read.topK = decodeKey(json, "topK", &toInt);
    read.usePrefillPrompt = decodeKey(json, "usePrefillPrompt", &toBool);
    read.detectLanguage = decodeKey(json, "detectLanguage", &toBool);
    read.skipSpecialTokens = decodeKey(json, "skipSpecialTokens", &toBool);
    read.withoutTimestamps = decodeKey(json, "withoutTimestamps", &toBool);
    read.wordTimestamps = decodeKey(json, "wordTimestamps", &toBool);
    read.maxInitialTimestamp = decodeOptionalKey(json, "maxInitialTimestamp", &toFloat);
    read.maxWindowSeek = decodeOptionalKey(json, "maxWindowSeek", &toInt);
    read.clipTimestamps = decodeKey(json, "clipTimestamps", &json::toFloatArray);
    read.windowClipTime = decodeKey(json, "windowClipTime", &toFloat);
    read.promptTokens = decodeOptionalKey(json, "promptTokens", &json::toIntArray);
    read.prefixTokens = decodeOptionalKey(json, "prefixTokens", &json::toIntArray);
    read.suppressBlank = decodeKey(json, "suppressBlank", &toBool);
    read.suppressTokens = decodeKey(json, "suppressTokens", &json::toIntArray);
    read.compressionRatioThreshold = decodeOptionalKey(json, "compressionRatioThreshold", &toFloat);
    read.logProbThreshold = decodeOptionalKey(json, "logProbThreshold", &toFloat);
    read.firstTokenLogProbThreshold = decodeOptionalKey(json, "firstTokenLogProbThreshold", &toFloat);
    read.noSpeechThreshold = decodeOptionalKey(json, "noSpeechThreshold", &toFloat);
    read.concurrentWorkerCount = decodeKey(json, "concurrentWorkerCount", &toInt);
    read.chunkingStrategy = decodeOptionalKey(json, "chunkingStrategy", &toChunkingStrategy);
    options = std::move(read);
}

} // namespace sonavex
