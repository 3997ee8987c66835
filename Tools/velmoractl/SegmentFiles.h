#pragma once
// Transcript segments as velmoractl reads and prints them: {"startSeconds", "endSeconds", "text"}.

#include "JsonLine.h"
#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace velmoractl {

/// A JSON file parsed; a missing or malformed file is an InputError naming it.
nlohmann::json readJsonFile(const std::string& path);

/// A JSON array of segments; a missing file or any other shape is an InputError naming the file.
std::vector<velmora::TranscriptSegment> readSegments(const std::string& path);
/// The same for an array already parsed; `where` names it in errors.
std::vector<velmora::TranscriptSegment> segmentsFromJson(const nlohmann::json& document, const std::string& where);

JsonObject segmentJson(const velmora::TranscriptSegment& segment);

} // namespace velmoractl
