#pragma once
// Transcript segments as velmoractl reads and prints them: {"startSeconds", "endSeconds", "text"}.

#include "JsonLine.h"
#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <string>
#include <vector>

namespace velmoractl {

/// A JSON array of segments; a missing file or any other shape is an InputError naming the file.
std::vector<velmora::TranscriptSegment> readSegments(const std::string& path);

JsonObject segmentJson(const velmora::TranscriptSegment& segment);

} // namespace velmoractl
