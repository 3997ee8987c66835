#pragma once
// One timed piece of text of a single track, as transcription produces it.

#include <string>

namespace velmora {

struct TranscriptSegment {
    double startSeconds = 0; ///< from the start of the track
    double endSeconds = 0;
    std::string text;

    bool operator==(const TranscriptSegment&) const = default;
};

} // namespace velmora
