#pragma once
// Removes microphone segments that are only the other party's voice picked up from the speakers: a
// segment goes when its microphone samples correlate strongly with the system audio at some small
// shift. All arithmetic in 32-bit floats with sums taken in order, so results do not depend on how the
// loop is vectorised.

#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora {

struct MicBleedFilter {
    /// The kept segments of `meSegments`, in order and unchanged. An empty list is returned without
    /// reading either file; otherwise both files are loaded whole (16 kHz mono, channels summed) and a
    /// loading error is thrown unchanged. Throws std::invalid_argument for a `maxLagSeconds` that gives
    /// no sample count.
    static std::vector<TranscriptSegment>
    removeBleedSegments(const std::vector<TranscriptSegment>& meSegments, const std::string& micAudioPath,
                        const std::string& systemAudioPath, float correlationThreshold, float maxLagSeconds);

    /// The same on loaded tracks. A segment whose sample range is empty, reversed, negative, past the
    /// end of `mic` or not a number is kept without comparing. Shifts run from −maxLag to +maxLag in
    /// steps of maxLag / 20 (1 below 20 samples); a shift whose system window leaves `sys` is skipped; a
    /// segment goes when its best correlation (at least 0) reaches the threshold.
    static std::vector<TranscriptSegment> filter(const std::vector<TranscriptSegment>& meSegments,
                                                 std::span<const float> mic, std::span<const float> sys,
                                                 float correlationThreshold, float maxLagSeconds);

    /// Pearson's coefficient; 0 for lists of different or no length, or when either has no variance.
    static float pearson(std::span<const float> a, std::span<const float> b);
};

} // namespace velmora
