#include "Sonavex/Utilities/Extensions/SegmentExtensions.h"

#include <algorithm>

namespace sonavex {

bool contains(const std::vector<TranscriptionSegment>& segments, const TranscriptionSegment& segment) {
    return std::any_of(segments.begin(), segments.end(), [&](const TranscriptionSegment& candidate) {
        return candidate.start == segment.start;
    });
}

} // namespace sonavex
