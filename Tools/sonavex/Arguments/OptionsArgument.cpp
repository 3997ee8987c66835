#include "Arguments/OptionsArgument.h"

#include "CommandLine/InputFiles.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <functional>
#include <map>
#include <stdexcept>

namespace sonavex::tool {

namespace {

using sonavex::json::Json;
using Arguments = DecodingOptions::Arguments;
using Setter = std::function<void(Arguments&, const Json&, const std::string&)>;

const std::map<std::string, Setter>& setters() {
    namespace js = sonavex::json;
    static const std::map<std::string, Setter> table = {
        {"verbose", [](Arguments& a, const Json& v, const std::string& c) { a.verbose = js::toBool(v, c); }},
        {"task", [](Arguments& a, const Json& v, const std::string&) { a.task = v.get<DecodingTask>(); }},
        {"language", [](Arguments& a, const Json& v,
                        const std::string& c) { a.language = js::toNullable(v, c, &js::toString); }},
        {"temperature",
         [](Arguments& a, const Json& v, const std::string& c) { a.temperature = js::toFloat(v, c); }},
        {"temperatureIncrementOnFallback",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.temperatureIncrementOnFallback = js::toFloat(v, c);
         }},
        {"temperatureFallbackCount",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.temperatureFallbackCount = js::toInt(v, c);
         }},
        {"sampleLength",
         [](Arguments& a, const Json& v, const std::string& c) { a.sampleLength = js::toInt(v, c); }},
        {"topK", [](Arguments& a, const Json& v, const std::string& c) { a.topK = js::toInt(v, c); }},
        {"usePrefillPrompt",
         [](Arguments& a, const Json& v, const std::string& c) { a.usePrefillPrompt = js::toBool(v, c); }},
        {"detectLanguage",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.detectLanguage = js::toNullable(v, c, &js::toBool);
         }},
        {"skipSpecialTokens",
         [](Arguments& a, const Json& v, const std::string& c) { a.skipSpecialTokens = js::toBool(v, c); }},
        {"withoutTimestamps",
         [](Arguments& a, const Json& v, const std::string& c) { a.withoutTimestamps = js::toBool(v, c); }},
        {"wordTimestamps",
         [](Arguments& a, const Json& v, const std::string& c) { a.wordTimestamps = js::toBool(v, c); }},
        {"maxInitialTimestamp",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.maxInitialTimestamp = js::toNullable(v, c, &js::toFloat);
         }},
        {"maxWindowSeek", [](Arguments& a, const Json& v,
                             const std::string& c) { a.maxWindowSeek = js::toNullable(v, c, &js::toInt); }},
        {"clipTimestamps", [](Arguments& a, const Json& v,
                              const std::string& c) { a.clipTimestamps = js::toFloatArray(v, c); }},
        {"windowClipTime",
         [](Arguments& a, const Json& v, const std::string& c) { a.windowClipTime = js::toFloat(v, c); }},
        {"promptTokens",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.promptTokens = js::toNullable(v, c, &js::toIntArray);
         }},
        {"prefixTokens",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.prefixTokens = js::toNullable(v, c, &js::toIntArray);
         }},
        {"suppressBlank",
         [](Arguments& a, const Json& v, const std::string& c) { a.suppressBlank = js::toBool(v, c); }},
        {"suppressTokens",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.suppressTokens = js::toNullable(v, c, &js::toIntArray);
         }},
        {"compressionRatioThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.compressionRatioThreshold = js::toNullable(v, c, &js::toFloat);
         }},
        {"logProbThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.logProbThreshold = js::toNullable(v, c, &js::toFloat);
         }},
        {"firstTokenLogProbThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.firstTokenLogProbThreshold = js::toNullable(v, c, &js::toFloat);
         }},
        {"noSpeechThreshold",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.noSpeechThreshold = js::toNullable(v, c, &js::toFloat);
         }},
        {"concurrentWorkerCount",
         [](Arguments& a, const Json& v, const std::string& c) {
             a.concurrentWorkerCount = js::toNullable(v, c, &js::toInt);
         }},
        {"chunkingStrategy",
         [](Arguments& a, const Json& v, const std::string&) {
             a.chunkingStrategy = v.is_null() ? std::nullopt : std::optional(v.get<ChunkingStrategy>());
         }},
    };
    return table;
}

} // namespace

DecodingOptions decodingOptionsFromArgument(const std::string& argument, Arguments start) {
    const std::string text = !argument.empty() && argument.front() == '{' ? argument : readInput(argument);
    Json document = sonavex::json::parseDocument(text);
    sonavex::json::requireObject(document, "DecodingOptions");
    Arguments arguments = std::move(start);
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
