#include "SegmentFiles.h"

#include "ToolOutput.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace velmoractl {

nlohmann::json readJsonFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        throw InputError("cannot read " + path);
    }
    std::stringstream text;
    text << input.rdbuf();
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& error) {
        throw InputError(path + " is not valid JSON: " + error.what());
    }
    return document;
}

std::vector<velmora::TranscriptSegment> readSegments(const std::string& path) {
    return segmentsFromJson(readJsonFile(path), path);
}

std::vector<velmora::TranscriptSegment> segmentsFromJson(const nlohmann::json& document, const std::string& where) {
    if (!document.is_array()) {
        throw InputError(where + ": expected an array of segments");
    }
    std::vector<velmora::TranscriptSegment> segments;
    for (std::size_t i = 0; i < document.size(); ++i) {
        const nlohmann::json& item = document[i];
        const std::string segmentWhere = where + ": segment " + std::to_string(i);
        if (!item.is_object()) {
            throw InputError(segmentWhere + " is not an object");
        }
        velmora::TranscriptSegment segment;
        for (const char* key : {"startSeconds", "endSeconds"}) {
            auto value = item.find(key);
            if (value == item.end() || !value->is_number()) {
                throw InputError(segmentWhere + ": \"" + key + "\" must be a number");
            }
            (std::string(key) == "startSeconds" ? segment.startSeconds : segment.endSeconds) =
                value->get<double>();
        }
        auto value = item.find("text");
        if (value == item.end() || !value->is_string()) {
            throw InputError(segmentWhere + ": \"text\" must be a string");
        }
        segment.text = value->get<std::string>();
        segments.push_back(std::move(segment));
    }
    return segments;
}

JsonObject segmentJson(const velmora::TranscriptSegment& segment) {
    return JsonObject()
        .number("startSeconds", segment.startSeconds)
        .number("endSeconds", segment.endSeconds)
        .string("text", segment.text);
}

} // namespace velmoractl
