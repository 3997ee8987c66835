#include "Sonavex/Core/Results/TranscriptionResult.h"

#include "OrvaneCore/Logging/Logging.h"
#include "Sonavex/Core/Results/TranscriptionResultStruct.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"

namespace sonavex {

using json::Json;

TranscriptionResult::TranscriptionResult(std::string text, std::vector<TranscriptionSegment> segments,
                                         std::string language, TranscriptionTimings timings,
                                         std::optional<float> seekTime)
    : text_(std::move(text)), segments_(std::move(segments)), language_(std::move(language)),
      timings_(timings), seekTime_(seekTime) {}

std::shared_ptr<TranscriptionResult>
TranscriptionResult::make(std::string text, std::vector<TranscriptionSegment> segments, std::string language,
                          TranscriptionTimings timings, std::optional<float> seekTime) {
    return std::make_shared<TranscriptionResult>(std::move(text), std::move(segments), std::move(language),
                                                 timings, seekTime);
}

std::vector<WordTiming> TranscriptionResult::allWords() const {
    std::vector<WordTiming> words;
    for (const TranscriptionSegment& segment : segments()) {
        if (segment.words) {
            words.insert(words.end(), segment.words->begin(), segment.words->end());
        }
    }
    return words;
}

std::vector<std::string> TranscriptionResult::segmentLogLines() const {
    std::vector<std::string> lines;
    const auto all = segments();
    for (size_t i = 0; i < all.size(); ++i) {
        lines.push_back("[Segment " + std::to_string(i) + "] [" + formatNumber("%.2f", all[i].start) +
                        " --> " + formatNumber("%.2f", all[i].end) + "] " + all[i].text);
    }
    return lines;
}

void TranscriptionResult::logSegments() const {
    for (const std::string& line : segmentLogLines()) {
        orvane::Logging::debug(line);
    }
}

std::string TranscriptionResult::timingsReport() const {
    int64_t totalTokens = 0;
    for (const TranscriptionSegment& segment : segments()) {
        totalTokens += static_cast<int64_t>(segment.tokens.size());
    }
    return timings().report(totalTokens);
}

void TranscriptionResult::logTimings() const {
    orvane::Logging::info(timingsReport());
}

void to_json(Json& json, const TranscriptionResult& result) {
    json = Json::object();
    json["text"] = result.text();
    json["segments"] = result.segments();
    json["language"] = result.language();
    json["timings"] = result.timings();
    auto seekTime = result.seekTime();
    json["seekTime"] = seekTime ? json::fromFloat(*seekTime) : Json(nullptr);
}

std::shared_ptr<TranscriptionResult> transcriptionResultFromJson(const Json& json) {
    json::requireObject(json, "TranscriptionResult");
    auto plain = json.get<TranscriptionResultStruct>();
    // Unlike its plain twin, the class needs the key, though it may hold null; checked last, as the key
    // comes last, so a document missing an earlier key names that one.
    json::present(json, "seekTime");
    return TranscriptionResult::make(std::move(plain.text), std::move(plain.segments),
                                     std::move(plain.language), plain.timings, plain.seekTime);
}

} // namespace sonavex
