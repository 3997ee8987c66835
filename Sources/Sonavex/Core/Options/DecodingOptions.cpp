#include "Sonavex/Core/Options/DecodingOptions.h"

#include "OrvaneCore/Logging/Describing.h"
#include "Sonavex/Utilities/JsonCoding.h"
#include "Sonavex/Utilities/WhisperError.h"

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

std::optional<float> optionalFloat(const Json& object, const char* key) {
    const Json* value = json::optional(object, key);
    return value ? std::optional(json::toFloat(*value, json::keyContext(key))) : std::nullopt;
}

std::optional<std::vector<int64_t>> optionalInts(const Json& object, const char* key) {
    const Json* value = json::optional(object, key);
    return value ? std::optional(json::toIntArray(*value, json::keyContext(key))) : std::nullopt;
}

bool requiredBool(const Json& object, const char* key) {
    return json::toBool(json::required(object, key), json::keyContext(key));
}

int64_t requiredInt(const Json& object, const char* key) {
    return json::toInt(json::required(object, key), json::keyContext(key));
}

float requiredFloat(const Json& object, const char* key) {
    return json::toFloat(json::required(object, key), json::keyContext(key));
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
    if (options.maxInitialTimestamp) {
        json["maxInitialTimestamp"] = json::fromFloat(*options.maxInitialTimestamp);
    }
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
    if (options.compressionRatioThreshold) {
        json["compressionRatioThreshold"] = json::fromFloat(*options.compressionRatioThreshold);
    }
    if (options.logProbThreshold) {
        json["logProbThreshold"] = json::fromFloat(*options.logProbThreshold);
    }
    if (options.firstTokenLogProbThreshold) {
        json["firstTokenLogProbThreshold"] = json::fromFloat(*options.firstTokenLogProbThreshold);
    }
    if (options.noSpeechThreshold) {
        json["noSpeechThreshold"] = json::fromFloat(*options.noSpeechThreshold);
    }
    json["concurrentWorkerCount"] = options.concurrentWorkerCount;
    if (options.chunkingStrategy) {
        json["chunkingStrategy"] = *options.chunkingStrategy;
    }
}

void from_json(const Json& json, DecodingOptions& options) {
    json::requireObject(json, "DecodingOptions");
    // Built whole in a local first, so a failure leaves `options` untouched.
    DecodingOptions read;
    read.verbose = requiredBool(json, "verbose");
    read.task = json::required(json, "task").get<DecodingTask>();
    if (const Json* language = json::optional(json, "language")) {
        read.language = json::toString(*language, json::keyContext("language"));
    } else {
        read.language.reset();
    }
    read.temperature = requiredFloat(json, "temperature");
    read.temperatureIncrementOnFallback = requiredFloat(json, "temperatureIncrementOnFallback");
    read.temperatureFallbackCount = requiredInt(json, "temperatureFallbackCount");
    read.sampleLength = requiredInt(json, "sampleLength");
    read.topK = requiredInt(json, "topK");
    read.usePrefillPrompt = requiredBool(json, "usePrefillPrompt");
    read.detectLanguage = requiredBool(json, "detectLanguage");
    read.skipSpecialTokens = requiredBool(json, "skipSpecialTokens");
    read.withoutTimestamps = requiredBool(json, "withoutTimestamps");
    read.wordTimestamps = requiredBool(json, "wordTimestamps");
    read.maxInitialTimestamp = optionalFloat(json, "maxInitialTimestamp");
    if (const Json* seek = json::optional(json, "maxWindowSeek")) {
        read.maxWindowSeek = json::toInt(*seek, json::keyContext("maxWindowSeek"));
    } else {
        read.maxWindowSeek.reset();
    }
    read.clipTimestamps =
        json::toFloatArray(json::required(json, "clipTimestamps"), json::keyContext("clipTimestamps"));
    read.windowClipTime = requiredFloat(json, "windowClipTime");
    read.promptTokens = optionalInts(json, "promptTokens");
    read.prefixTokens = optionalInts(json, "prefixTokens");
    read.suppressBlank = requiredBool(json, "suppressBlank");
    read.suppressTokens =
        json::toIntArray(json::required(json, "suppressTokens"), json::keyContext("suppressTokens"));
    read.compressionRatioThreshold = optionalFloat(json, "compressionRatioThreshold");
    read.logProbThreshold = optionalFloat(json, "logProbThreshold");
    read.firstTokenLogProbThreshold = optionalFloat(json, "firstTokenLogProbThreshold");
    read.noSpeechThreshold = optionalFloat(json, "noSpeechThreshold");
    read.concurrentWorkerCount = requiredInt(json, "concurrentWorkerCount");
    if (const Json* strategy = json::optional(json, "chunkingStrategy")) {
        read.chunkingStrategy = strategy->get<ChunkingStrategy>();
    } else {
        read.chunkingStrategy.reset();
    }
    options = std::move(read);
}

} // namespace sonavex
