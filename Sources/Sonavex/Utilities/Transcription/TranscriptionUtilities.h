#pragma once
// Helpers for callers that transcribe audio in pieces or in repeated passes: moving segments to their
// place in the whole audio, segments as text lines, where two passes' word lists agree and where they
// differ, and several results joined into one. Pure functions; safe from any thread.

#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/WordTiming.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sonavex {

struct TranscriptionUtilities {
    /// The segment moved later by `seekTime` seconds: times and word times shifted, `seek` by the whole
    /// samples of seekTime × 16000 (single precision, truncated). The caller keeps the product within 64
    /// bits.
    static TranscriptionSegment updateSegmentTimings(const TranscriptionSegment& segment, float seekTime);
    /// The segment moved later by `seekOffsetIndex` samples at 16 kHz.
    static TranscriptionSegment updateSegmentTimings(const TranscriptionSegment& segment,
                                                     int64_t seekOffsetIndex);

    /// One line per segment: its text, or "[start --> end] text" with two decimals.
    static std::vector<std::string> formatSegments(const std::vector<TranscriptionSegment>& segments,
                                                   bool withTimestamps = true);

    /// The words of `b` up to the first position where the two lists stop agreeing. Words agree when
    /// their comparison forms (lower case, "-" as a space, no punctuation, single spaces, trimmed) are
    /// canonically equivalent.
    static std::vector<WordTiming> findLongestCommonPrefix(const std::vector<WordTiming>& a,
                                                           const std::vector<WordTiming>& b);
    /// The words of `b` after that agreeing prefix.
    static std::vector<WordTiming> findLongestDifferentSuffix(const std::vector<WordTiming>& a,
                                                              const std::vector<WordTiming>& b);

    /// One result from several (null entries stand for absent ones): the confirmed words' text when
    /// given, else the texts joined by spaces; every present result's segments with id = the result's
    /// index among the present ones + the segment's index in it; the first present language ("en" for
    /// none); the timings reduced field by field; no seek time.
    static std::shared_ptr<TranscriptionResult>
    mergeTranscriptionResults(const std::vector<std::shared_ptr<TranscriptionResult>>& results,
                              const std::optional<std::vector<WordTiming>>& confirmedWords = std::nullopt);
};

} // namespace sonavex
