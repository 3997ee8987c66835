#pragma once
// A loaded transcriber as post-processing uses it: one track file in, its timed segments out.

#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace velmora {

class TrackTranscriber {
public:
    /// Called once per segment as it is produced, from any thread.
    using SegmentCallback = std::function<void(const TranscriptSegment&)>;

    virtual ~TrackTranscriber() = default;

    /// The track's segments in time order. Throws on failure; orvane::CancellationError once `stop` is
    /// requested.
    virtual std::vector<TranscriptSegment> transcribe(const std::string& audioPath, float energyThreshold,
                                                      const SegmentCallback& onSegment,
                                                      std::stop_token stop) const = 0;
};

} // namespace velmora
