#include "VelmoraCore/Transcription/ChunkPlanner.h"

#include <algorithm>

namespace velmora {

std::vector<SampleRange> ChunkPlanner::join(const std::vector<SampleRange>& voiced) {
    std::vector<SampleRange> joined;
    for (const SampleRange& range : voiced) {
        if (!joined.empty() && range.start - joined.back().end <= maxGap &&
            range.end - joined.back().start <= maxSpan) {
            joined.back().end = range.end;
        } else {
            joined.push_back(range);
        }
    }
    return joined;
}

std::vector<SampleRange> ChunkPlanner::pad(const std::vector<SampleRange>& chunks, std::int64_t sampleCount) {
    std::vector<SampleRange> padded;
    for (const SampleRange& chunk : chunks) {
        const std::int64_t start = std::max<std::int64_t>(0, chunk.start - padding);
        const std::int64_t end = std::min(chunk.end + padding, sampleCount);
        if (!padded.empty() && padded.back().end >= start && end - padded.back().start <= maxSpan) {
            padded.back().end = end;
        } else {
            padded.push_back({start, end});
        }
    }
    return padded;
}

std::vector<SampleRange> ChunkPlanner::plan(const std::vector<SampleRange>& voiced,
                                            std::int64_t sampleCount) {
    return pad(join(voiced), sampleCount);
}

} // namespace velmora
