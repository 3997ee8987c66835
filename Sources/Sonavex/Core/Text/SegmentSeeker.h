#pragma once
// The engine's segment seeker. Segments are cut where two timestamp tokens follow each other; word timings
// come from a dynamic-time-warping path through the decoder's alignment weights, tokens grouped into
// words by the tokenizer, long words cut back to a multiple of the median word length, punctuation
// attached to its neighbours and the words rounded to hundredths of a second. Holds no state.

#include "Sonavex/Core/Results/WordTiming.h"
#include "Sonavex/Core/Text/SegmentSeeking.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sonavex {

/// A path through a [text, time] matrix from its first cell to its last, as parallel index lists.
struct WarpingPath {
    std::vector<int64_t> textIndices;
    std::vector<int64_t> timeIndices;

    friend bool operator==(const WarpingPath&, const WarpingPath&) = default;
};

/// The typical and the longest plausible word length of a window, in seconds.
struct WordDurationConstraints {
    float median = 0;
    float max = 0;
};

class SegmentSeeker : public SegmentSeeking {
public:
    /// Seconds per timestamp token and per alignment column.
    static constexpr float secondsPerTimeToken = 0.02f;
    /// The longest median word length the constraints allow.
    static constexpr float maxMedianDuration = 0.7f;

    SegmentSeeker() = default;

    SeekPointAndSegments findSeekPointAndSegments(const DecodingResult& decodingResult,
                                                  const DecodingOptions& options, int64_t allSegmentsCount,
                                                  int64_t currentSeek, int64_t segmentSize,
                                                  int64_t sampleRate, int64_t timeToken, int64_t specialToken,
                                                  const WhisperTokenizer& tokenizer) override;

    std::vector<TranscriptionSegment>
    addWordTimestamps(std::vector<TranscriptionSegment> segments, const ml::MultiArray& alignmentWeights,
                      const WhisperTokenizer& tokenizer, int64_t seek, int64_t segmentSize,
                      std::string_view prependPunctuations, std::string_view appendPunctuations,
                      float lastSpeechTimestamp, const DecodingOptions& options,
                      TranscriptionTimings& timings) override;

    /// The median of the positive word durations (the upper middle one for an even count, 0 for none),
    /// at most maxMedianDuration, and twice that.
    virtual WordDurationConstraints
    calculateWordDurationConstraints(const std::vector<WordTiming>& alignment);

    /// A sentence-end mark lasting longer than maxDuration ends maxDuration after its start; a word after
    /// such a mark that lasts longer starts maxDuration before its end. The first word is left alone.
    virtual std::vector<WordTiming> truncateLongWordsAtSentenceBoundaries(std::vector<WordTiming> alignment,
                                                                          float maxDuration);

    /// Hands the words to the segments in order, as many as each segment has text tokens, and moves the
    /// segments' starts and ends to their words.
    virtual std::vector<TranscriptionSegment>
    updateSegmentsWithWordTimings(std::vector<TranscriptionSegment> segments,
                                  const std::vector<WordTiming>& mergedAlignment, int64_t seek,
                                  float lastSpeechTimestamp, float constrainedMedianDuration,
                                  float maxDuration, const WhisperTokenizer& tokenizer);

    // The steps of word timing.

    /// The cheapest path through the negated matrix, a [rows, columns] array of any element type; on equal
    /// costs the path moves along time. Throws WhisperError segmentingFailed for another rank.
    WarpingPath dynamicTimeWarping(const ml::MultiArray& matrix) const;

    /// Follows the codes (0 diagonal, 1 up, 2 left) from the last cell back to the first. A trace that
    /// leads off the matrix or holds another code throws WhisperError segmentingFailed.
    WarpingPath backtrace(const std::vector<std::vector<int>>& traceMatrix) const;

    /// One timing per word of the tokenizer's split of `wordTokenIds`, relative to the window start; none
    /// when the split gives fewer than two words. Throws WhisperError segmentingFailed when the words need
    /// more positions than the matrix has rows or than `tokenLogProbs` has entries.
    std::vector<WordTiming> findAlignment(const std::vector<int64_t>& wordTokenIds,
                                          const ml::MultiArray& alignmentWeights,
                                          const std::vector<float>& tokenLogProbs,
                                          const WhisperTokenizer& tokenizer) const;

    /// Opening marks join the word after them, closing marks the word before them; marks left alone are
    /// dropped. Runs of marks gather on one word.
    std::vector<WordTiming> mergePunctuations(const std::vector<WordTiming>& alignment,
                                              std::string_view prepended, std::string_view appended) const;
};

} // namespace sonavex
