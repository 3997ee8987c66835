#pragma once
// One line of the merged two-speaker transcript.

#include "VelmoraCore/Transcripts/Speaker.h"

#include <string>

namespace velmora {

struct MergedSegment {
    double startSeconds = 0; ///< from the start of its track
    double endSeconds = 0;
    Speaker speaker = Speaker::me;
    std::string text;

    bool operator==(const MergedSegment&) const = default;
};

} // namespace velmora
