#pragma once
// The stage after decoding: turns one window's tokens into timed segments and says where the next window
// starts; when word timings are asked for, aligns the window's tokens to its audio frames and writes the
// words into the segments.

#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/DecodingResult.h"
#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sonavex {

/// The next window's first sample, and the window's segments (none when the window is skipped as silence).
using SeekPointAndSegments = std::pair<int64_t, std::optional<std::vector<TranscriptionSegment>>>;

class SegmentSeeking {
public:
    virtual ~SegmentSeeking() = default;

    /// `specialToken` is not read: the special range is taken from the tokenizer. Never throws; log-
    /// probabilities missing for some tokens leave those tokens' entries out of the segments.
    virtual SeekPointAndSegments findSeekPointAndSegments(const DecodingResult& decodingResult,
                                                          const DecodingOptions& options,
                                                          int64_t allSegmentsCount, int64_t currentSeek,
                                                          int64_t segmentSize, int64_t sampleRate,
                                                          int64_t timeToken, int64_t specialToken,
                                                          const WhisperTokenizer& tokenizer) = 0;

    /// `alignmentWeights`: [rows, columns], a row per decoder position over the window's frames (0.02 s
    /// each). `segmentSize`, `options` and `timings` are not read. Throws WhisperError segmentingFailed
    /// for weights or log-probabilities that do not cover the segments' tokens.
    virtual std::vector<TranscriptionSegment>
    addWordTimestamps(std::vector<TranscriptionSegment> segments, const ml::MultiArray& alignmentWeights,
                      const WhisperTokenizer& tokenizer, int64_t seek, int64_t segmentSize,
                      std::string_view prependPunctuations, std::string_view appendPunctuations,
                      float lastSpeechTimestamp, const DecodingOptions& options,
                      TranscriptionTimings& timings) = 0;
};

} // namespace sonavex
