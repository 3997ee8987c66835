#include "OptionsArgument.h"

#include "InputFiles.h"
#include "Sonavex/Utilities/JsonCoding.h"

#include <functional>
#include <map>
#include <stdexcept>

namespace sonavex::tool {

namespace {

using sonavex::json::Json;
using Arguments = DecodingOptions::Arguments;
using Setter = std::function<void(Arguments&, const Json&, const std::string&)>;

template <class T>
std::optional<T> nullable(const Json& value, T (*read)(const Json&, std::string_view),
                          const std::string& context) {
    if (value.is_null()) {
        return std::nullopt;
    }
    return read(value, context);
}

const std::map<std::string, Setter>& setters() {
    namespace js = sonavex::json;
    static const std::map<std::string, Setter> table = {
        {"verbose", [](Arguments& a, const Json& v, const std::string& c) { a.verbose = js::toBool(v, c); }},
        {"task", [](Arguments& a, const Json& v, const std::string&) { a.task = v.get<DecodingTask>(); }},
        {"language",
         [](Arguments& a, const Json& v, const std::string& c) { a.language = nullable(v, &js::toString, c); }},
        {"temperature",
         [](Arguments& a, const Json& v, const std::string& c) { a.temperature = js::toFloat(v, c); }},
        {"temperatureIncrementOnFallback",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.temperatureIncrementOnFallback = js::toFloat(v, c);
         }},
        {"temperatureFallbackCount",
         [](Arguments& a, const Json& v, const std::string& c) { a.temperatureFallbackCount = js::toInt(v, c); }},
        {"sampleLength", [](Arguments& a, const Json& v, const std::string& c) { a.sampleLength = js::toInt(v, c); }},
        {"topK", [](Arguments& a, const Json& v, const std::string& c) { a.topK = js::toInt(v, c); }},
        {"usePrefillPrompt",
         [](Arguments& a, const Json& v, const std::string& c) { a.usePrefillPrompt = js::toBool(v, c); }},
        {"detectLanguage",
         [](Arguments& a, const Json& v, const std::string& c) { a.detectLanguage = nullable(v, &js::toBool, c); }},
        {"skipSpecialTokens",
         [](Arguments& a, const Json& v, const std::string& c) { a.skipSpecialTokens = js::toBool(v, c); }},
        {"withoutTimestamps",
         [](Arguments& a, const Json& v, const std::string& c) { a.withoutTimestamps = js::toBool(v, c); }},
        {"wordTimestamps",
         [](Arguments& a, const Json& v, const std::string& c) { a.wordTimestamps = js::toBool(v, c); }},
        {"maxInitialTimestamp",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.maxInitialTimestamp = nullable(v, &js::toFloat, c);
         }},
        {"maxWindowSeek",
         [](Arguments& a, const Json& v, const std::string& c) { a.maxWindowSeek = nullable(v, &js::toInt, c); }},
        {"clipTimestamps",
         [](Arguments& a, const Json& v, const std::string& c) { a.clipTimestamps = js::toFloatArray(v, c); }},
        {"windowClipTime",
         [](Arguments& a, const Json& v, const std::string& c) { a.windowClipTime = js::toFloat(v, c); }},
        {"promptTokens",
         [](Arguments& a, const Json& v, const std::string& c) { a.promptTokens = nullable(v, &js::toIntArray, c); }},
        {"prefixTokens",
         [](Arguments& a, const Json& v, const std::string& c) { a.prefixTokens = nullable(v, &js::toIntArray, c); }},
        {"suppressBlank",
         [](Arguments& a, const Json& v, const std::string& c) { a.suppressBlank = js::toBool(v, c); }},
        {"suppressTokens",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.suppressTokens = nullable(v, &js::toIntArray, c);
         }},
        {"compressionRatioThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.compressionRatioThreshold = nullable(v, &js::toFloat, c);
         }},
        {"logProbThreshold",
         [](Arguments& a, const Json& v, const std::string& c) { a.logProbThreshold = nullable(v, &js::toFloat, c); }},
        {"firstTokenLogProbThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.firstTokenLogProbThreshold = nullable(v, &js::toFloat, c);
         }},
        {"noSpeechThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.noSpeechThreshold = nullable(v, &js::toFloat, c);
         }},
        {"concurrentWorkerCount",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.concurrentWorkerCount = nullable(v, &js::toInt, c);
         }},
        {"chunkingStrategy",
         [](Arguments& a, const Json& v, const std::string&) {
             a.chunkingStrategy = v.is_null() ? std::nullopt : std::optional(v.get<ChunkingStrategy>());
         }},
    };
    return table;
}

} // namespace

DecodingOptions decodingOptionsFromArgument(const std::string& argument) {
    const std::string text = !argument.empty() && argument.front() == '{' ? argument : readInput(argument);
    Json document = sonavex::json::parseDocument(text);
    sonavex::json::requireObject(document, "DecodingOptions");
    Arguments arguments;
    for (const auto& [key, value] : document.items()) {
        auto setter = setters().find(key);
        if (setter == setters().end()) {
            throw std::invalid_argument("Unknown decoding option \"" + key + "\"");
        }
        setter->second(arguments, value, sonavex::json::keyContext(key.c_str()));
    }
    return DecodingOptions(arguments);
}

} // namespace sonavex::tool
