#include "Sonavex/Core/Options/DecodingOptions.h"

#include "OrvaneCore/Logging/Describing.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <cmath>
#include <type_traits>

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

// Every field with its key, in the order the keys are written and read: encoding and decoding both walk
// this one list.
template <class Options, class Visit> void forEachField(Options& options, Visit&& visit) {
    visit("verbose", options.verbose);
    visit("task", options.task);
    visit("language", options.language);
    visit("temperature", options.temperature);
    visit("temperatureIncrementOnFallback", options.temperatureIncrementOnFallback);
    visit("temperatureFallbackCount", options.temperatureFallbackCount);
    visit("sampleLength", options.sampleLength);
    visit("topK", options.topK);
    visit("usePrefillPrompt", options.usePrefillPrompt);
    visit("detectLanguage", options.detectLanguage);
    visit("skipSpecialTokens", options.skipSpecialTokens);
    visit("withoutTimestamps", options.withoutTimestamps);
    visit("wordTimestamps", options.wordTimestamps);
    visit("maxInitialTimestamp", options.maxInitialTimestamp);
    visit("maxWindowSeek", options.maxWindowSeek);
    visit("clipTimestamps", options.clipTimestamps);
    visit("windowClipTime", options.windowClipTime);
    visit("promptTokens", options.promptTokens);
    visit("prefixTokens", options.prefixTokens);
    visit("suppressBlank", options.suppressBlank);
    visit("suppressTokens", options.suppressTokens);
    visit("compressionRatioThreshold", options.compressionRatioThreshold);
    visit("logProbThreshold", options.logProbThreshold);
    visit("firstTokenLogProbThreshold", options.firstTokenLogProbThreshold);
    visit("noSpeechThreshold", options.noSpeechThreshold);
    visit("concurrentWorkerCount", options.concurrentWorkerCount);
    visit("chunkingStrategy", options.chunkingStrategy);
}

// Floats in their shortest form; an optional field without a value is left out.
Json encoded(float value) {
    return json::fromFloat(value);
}

Json encoded(const std::vector<float>& values) {
    Json array = Json::array();
    for (float value : values) {
        array.push_back(json::fromFloat(value));
    }
    return array;
}

template <class Value> Json encoded(const Value& value) {
    return Json(value);
}

template <class Value> void encodeField(Json& json, const char* key, const Value& value) {
    json[key] = encoded(value);
}

template <class Value> void encodeField(Json& json, const char* key, const std::optional<Value>& value) {
    if (value) {
        json[key] = encoded(*value);
    }
}

template <class Value> Value readAs(const Json& value, std::string_view) {
    return value.get<Value>();
}

template <class Value> json::Reader<Value> readerOf() {
    if constexpr (std::is_same_v<Value, bool>) {
        return &json::toBool;
    } else if constexpr (std::is_same_v<Value, int64_t>) {
        return &json::toInt;
    } else if constexpr (std::is_same_v<Value, float>) {
        return &json::toFloat;
    } else if constexpr (std::is_same_v<Value, std::string>) {
        return &json::toString;
    } else if constexpr (std::is_same_v<Value, std::vector<int64_t>>) {
        return &json::toIntArray;
    } else if constexpr (std::is_same_v<Value, std::vector<float>>) {
        return &json::toFloatArray;
    } else {
        return &readAs<Value>; // the enumerations and the chunking strategy decode themselves
    }
}

template <class Value> void decodeField(const Json& json, const char* key, Value& field) {
    field = json::decodeKey(json, key, readerOf<Value>());
}

template <class Value> void decodeField(const Json& json, const char* key, std::optional<Value>& field) {
    field = json::decodeOptionalKey(json, key, readerOf<Value>());
}

} // namespace

void to_json(Json& json, const DecodingOptions& options) {
    json = Json::object();
    forEachField(options, [&](const char* key, const auto& value) { encodeField(json, key, value); });
}

void from_json(const Json& json, DecodingOptions& options) {
    json::requireObject(json, "DecodingOptions");
    // Built whole in a local first, so a failure leaves `options` untouched.
    DecodingOptions read;
    forEachField(read, [&](const char* key, auto& field) { decodeField(json, key, field); });
    options = std::move(read);
}

} // namespace sonavex
