#pragma once
// How a track's voiced stretches become the chunks the engine transcribes: stretches close together
// are joined into chunks of at most 25 s, then each chunk is widened by 0.3 s on both sides and chunks
// that come to touch are joined again within the same limit. Pure functions of the ranges.

#include "VelmoraCore/Transcription/SampleRange.h"

#include <cstdint>
#include <vector>

namespace velmora {

/// The engine's sample rate; every sample count of the transcriber and the bleed filter is derived from it.
inline constexpr std::int64_t engineSampleRate = 16000;

/// A duration as a sample count at the engine's rate: the product in double precision, truncated.
constexpr std::int64_t engineSamplesIn(double seconds) {
    return static_cast<std::int64_t>(static_cast<double>(engineSampleRate) * seconds);
}

struct ChunkPlanner {
    static constexpr std::int64_t sampleRate = engineSampleRate;
    /// The largest gap between two joined stretches (1.2 s).
    static constexpr std::int64_t maxGap = engineSamplesIn(1.2);
    /// The largest span of a joined chunk (25 s).
    static constexpr std::int64_t maxSpan = engineSamplesIn(25.0);
    /// Added before and after each chunk (0.3 s).
    static constexpr std::int64_t padding = engineSamplesIn(0.3);

    /// First pass: a range joins the last chunk when the gap to it is at most maxGap and the joined span
    /// at most maxSpan. `voiced` must be ascending.
    static std::vector<SampleRange> join(const std::vector<SampleRange>& voiced);

    /// Second pass: each chunk widened by `padding`, clamped to [0, sampleCount]; a widened chunk that
    /// touches or overlaps the last one joins it when the joined span stays within maxSpan.
    static std::vector<SampleRange> pad(const std::vector<SampleRange>& chunks, std::int64_t sampleCount);

    /// Both passes.
    static std::vector<SampleRange> plan(const std::vector<SampleRange>& voiced, std::int64_t sampleCount);
};

} // namespace velmora
