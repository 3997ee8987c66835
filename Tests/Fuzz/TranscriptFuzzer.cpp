// The saved transcript of two tracks' segments (each a JSON array of {"startSeconds", "endSeconds",
// "text"}, the two cut by a line "@@@@"): the JSON transcript is valid JSON holding every segment's
// times and text exactly, in the merged order, and the text transcript is written or refused as a whole.

#include "Fuzz/FuzzSupport.h"
#include "VelmoraCore/Transcripts/TranscriptWriter.h"
#include "VelmoraCore/Transcripts/TranscriptWriterError.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

namespace {

std::optional<std::vector<velmora::TranscriptSegment>> segments(const std::string& text) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_array()) {
        return std::nullopt;
    }
    std::vector<velmora::TranscriptSegment> read;
    for (const nlohmann::json& item : document) {
        if (!item.is_object() || !item.value("startSeconds", nlohmann::json()).is_number() ||
            !item.value("endSeconds", nlohmann::json()).is_number() ||
            !item.value("text", nlohmann::json()).is_string()) {
            return std::nullopt;
        }
        read.push_back({item["startSeconds"].get<double>(), item["endSeconds"].get<double>(),
                        item["text"].get<std::string>()});
    }
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzz::parts(data, size, 2);
    const auto me = segments(parts[0]), other = segments(parts[1]);
    if (!me || !other) {
        return 0;
    }
    const auto merged = velmora::TranscriptWriter::merge(*me, *other);
    if (merged.size() != me->size() + other->size() ||
        !std::is_sorted(merged.begin(), merged.end(),
                        [](const auto& a, const auto& b) { return a.startSeconds < b.startSeconds; })) {
        std::abort();
    }

    bool finite = true;
    for (const auto& segment : merged) {
        finite = finite && std::isfinite(segment.startSeconds) && std::isfinite(segment.endSeconds);
    }
    try {
        const nlohmann::json written =
            nlohmann::json::parse(velmora::TranscriptWriter::jsonTranscript(merged));
        if (!finite || !written.is_array() || written.size() != merged.size()) {
            std::abort();
        }
        for (std::size_t i = 0; i < merged.size(); ++i) {
            const auto& item = written[i];
            if (item.size() != 4 || item.at("startSeconds").get<double>() != merged[i].startSeconds ||
                item.at("endSeconds").get<double>() != merged[i].endSeconds ||
                item.at("speaker").get<std::string>() != velmora::rawValue(merged[i].speaker) ||
                item.at("text").get<std::string>() != merged[i].text) {
                std::abort();
            }
        }
    } catch (const velmora::TranscriptWriterError&) {
        if (finite) {
            std::abort();
        }
    } catch (const nlohmann::json::exception&) {
        std::abort(); // not JSON, or not the segments' shape
    }

    try {
        const std::string text = velmora::TranscriptWriter::textTranscript(merged);
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        std::size_t textLines = merged.empty() ? 0 : merged.size();
        for (const auto& segment : merged) {
            textLines += static_cast<std::size_t>(std::count(segment.text.begin(), segment.text.end(), '\n'));
        }
        if (merged.empty() ? !text.empty() : lines != textLines) {
            std::abort();
        }
    } catch (const velmora::TranscriptWriterError&) {
        // a start time no stamp can show
    }
    return 0;
}
