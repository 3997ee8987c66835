// Word timings of a window's segments: the working matrix, the length constraints, punctuation and the
// hand-over of the words to their segments.

#include "OrvaneCore/Extensions/FloatExtensions.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Trimming.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace sonavex {

namespace {

constexpr std::array<std::string_view, 6> kSentenceEndMarks{".", "\u3002", "!", "\uFF01", "?", "\uFF1F"};

bool isSentenceEnd(const std::string& word) {
    return std::find(kSentenceEndMarks.begin(), kSentenceEndMarks.end(), word) != kSentenceEndMarks.end();
}

std::string_view trimmedWhiteSpace(std::string_view text) {
    return orvane::text::trimmed(text, orvane::text::isHorizontalWhiteSpace);
}

bool beginsWithWhiteSpace(std::string_view text) {
    size_t offset = 0;
    return !text.empty() && orvane::text::isHorizontalWhiteSpace(orvane::text::nextCodePoint(text, offset));
}

// An empty text is taken to occur nowhere, so entries of white space alone stay words of their own.
bool occursIn(std::string_view text, std::string_view marks) {
    return !text.empty() && marks.find(text) != std::string_view::npos;
}

void appendWord(WordTiming& onto, const WordTiming& next) {
    onto.word += next.word;
    onto.tokens.insert(onto.tokens.end(), next.tokens.begin(), next.tokens.end());
}

float roundedToHundredths(float value) {
    return orvane::rounded(value, 2);
}

} // namespace

std::vector<TranscriptionSegment>
SegmentSeeker::addWordTimestamps(std::vector<TranscriptionSegment> segments,
                                 const ml::MultiArray& alignmentWeights, const WhisperTokenizer& tokenizer,
                                 int64_t seek, int64_t /*segmentSize*/, std::string_view prependPunctuations,
                                 std::string_view appendPunctuations, float lastSpeechTimestamp,
                                 const DecodingOptions& /*options*/, TranscriptionTimings& /*timings*/) {
    std::vector<int64_t> wordTokenIds;
    std::vector<float> tokenLogProbs;
    for (const TranscriptionSegment& segment : segments) {
        for (size_t k = 0; k < segment.tokens.size(); ++k) {
            const int64_t token = segment.tokens[k];
            wordTokenIds.push_back(token);
            if (k < segment.tokenLogProbs.size()) {
                const auto found = segment.tokenLogProbs[k].find(token);
                if (found != segment.tokenLogProbs[k].end()) {
                    tokenLogProbs.push_back(found->second);
                }
            }
        }
    }

    const std::vector<int64_t>& shape = alignmentWeights.shape();
    if (shape.empty()) {
        throw WhisperError::segmentingFailed("Invalid shape in alignmentWeights");
    }
    const int64_t rows = static_cast<int64_t>(wordTokenIds.size());
    const int64_t columns = shape.back();
    const int64_t availableRows = columns > 0 ? alignmentWeights.count() / columns : 0;
    if (rows > availableRows) {
        throw WhisperError::segmentingFailed("Alignment weights " + ml::shapeDescription(shape) + " hold " +
                                             std::to_string(availableRows) + " rows, fewer than the " +
                                             std::to_string(rows) + " tokens of the segments");
    }

    // The rows of the segments' tokens, copied as they are (no conversion).
    ml::MultiArray matrix({rows, columns}, alignmentWeights.dataType());
    if (matrix.byteCount() > 0) {
        std::memcpy(matrix.data(), alignmentWeights.data(), matrix.byteCount());
    }
    Logging::debug("Alignment weights shape: " + ml::shapeDescription(matrix.shape()));

    const std::vector<WordTiming> alignment = findAlignment(wordTokenIds, matrix, tokenLogProbs, tokenizer);
    const WordDurationConstraints constraints = calculateWordDurationConstraints(alignment);
    const std::vector<WordTiming> truncated =
        truncateLongWordsAtSentenceBoundaries(alignment, constraints.max);
    const std::vector<WordTiming> merged =
        truncated.empty() ? truncated : mergePunctuations(truncated, prependPunctuations, appendPunctuations);
    return updateSegmentsWithWordTimings(std::move(segments), merged, seek, lastSpeechTimestamp,
                                         constraints.median, constraints.max, tokenizer);
}

WordDurationConstraints
SegmentSeeker::calculateWordDurationConstraints(const std::vector<WordTiming>& alignment) {
    std::vector<float> durations;
    for (const WordTiming& word : alignment) {
        const float duration = word.end - word.start;
        if (duration > 0) {
            durations.push_back(duration);
        }
    }
    float median = 0;
    if (!durations.empty()) {
        std::sort(durations.begin(), durations.end());
        median = durations[durations.size() / 2];
    }
    median = std::min(median, maxMedianDuration);
    return {median, 2 * median};
}

std::vector<WordTiming>
SegmentSeeker::truncateLongWordsAtSentenceBoundaries(std::vector<WordTiming> alignment, float maxDuration) {
    for (size_t i = 1; i < alignment.size(); ++i) {
        WordTiming& word = alignment[i];
        if (!(word.end - word.start > maxDuration)) {
            continue;
        }
        if (isSentenceEnd(word.word)) {
            word.end = word.start + maxDuration;
        } else if (isSentenceEnd(alignment[i - 1].word)) {
            word.start = word.end - maxDuration;
        }
    }
    return alignment;
}

std::vector<WordTiming> SegmentSeeker::mergePunctuations(const std::vector<WordTiming>& alignment,
                                                         std::string_view prepended,
                                                         std::string_view appended) const {
    if (alignment.empty()) {
        return {};
    }

    // Opening marks after a space go onto the next word, which keeps its own timing. A run of them
    // gathers on the entry the first one opened.
    std::vector<WordTiming> prependPass;
    if (!occursIn(trimmedWhiteSpace(alignment[0].word), prepended)) {
        prependPass.push_back(alignment[0]);
    }
    for (size_t i = 1; i < alignment.size(); ++i) {
        const WordTiming& previous = alignment[i - 1];
        const WordTiming& current = alignment[i];
        if (beginsWithWhiteSpace(previous.word) && occursIn(trimmedWhiteSpace(previous.word), prepended)) {
            if (prependPass.empty()) {
                prependPass.push_back(previous);
            }
            WordTiming& last = prependPass.back();
            appendWord(last, current);
            last.start = current.start;
            last.end = current.end;
            last.probability = current.probability;
        } else {
            prependPass.push_back(current);
        }
    }
    if (prependPass.empty()) {
        return {};
    }

    // Closing marks go onto the word before them, which keeps its timing; a run of them gathers there.
    std::vector<WordTiming> appendPass{prependPass[0]};
    for (size_t k = 0; k + 1 < prependPass.size(); ++k) {
        const WordTiming& previous = prependPass[k];
        const WordTiming& current = prependPass[k + 1];
        if (!previous.word.ends_with(' ') && occursIn(trimmedWhiteSpace(current.word), appended)) {
            appendWord(appendPass.back(), current);
        } else {
            appendPass.push_back(current);
        }
    }

    std::vector<WordTiming> result;
    for (WordTiming& entry : appendPass) {
        if (!entry.word.empty() && !occursIn(entry.word, appended) && !occursIn(entry.word, prepended)) {
            result.push_back(std::move(entry));
        }
    }
    return result;
}

std::vector<TranscriptionSegment>
SegmentSeeker::updateSegmentsWithWordTimings(std::vector<TranscriptionSegment> segments,
                                             const std::vector<WordTiming>& mergedAlignment, int64_t seek,
                                             float lastSpeechTimestamp, float constrainedMedianDuration,
                                             float maxDuration, const WhisperTokenizer& tokenizer) {
    const float m = constrainedMedianDuration;
    const float d = maxDuration;
    float t = lastSpeechTimestamp;
    const int64_t specialTokenBegin = tokenizer.specialTokens().specialTokenBegin;
    const float offset = static_cast<float>(seek) / 16000.0f;
    const auto textTokensOf = [specialTokenBegin](const std::vector<int64_t>& tokens) {
        std::vector<int64_t> text;
        std::copy_if(tokens.begin(), tokens.end(), std::back_inserter(text),
                     [specialTokenBegin](int64_t token) { return token < specialTokenBegin; });
        return text;
    };

    size_t cursor = 0;
    std::optional<float> previousSegmentEnd;
    for (TranscriptionSegment& segment : segments) {
        const size_t textTokenCount = textTokensOf(segment.tokens).size();
        size_t placed = 0;
        std::vector<WordTiming> words;
        while (cursor < mergedAlignment.size() && placed < textTokenCount) {
            const WordTiming& word = mergedAlignment[cursor++];
            std::vector<int64_t> textTokens = textTokensOf(word.tokens);
            if (textTokens.empty()) {
                continue;
            }
            WordTiming timing;
            timing.word = textTokens.size() == word.tokens.size()
                              ? word.word
                              : tokenizer.decode(std::vector<int>(textTokens.begin(), textTokens.end()));
            timing.start = roundedToHundredths(offset + word.start);
            timing.end = roundedToHundredths(offset + word.end);
            if (timing.end - timing.start < 0.25f * m) {
                // A short word reaches back into the pause before it, by at most half the median.
                const std::optional<float> previousEnd =
                    words.empty() ? previousSegmentEnd : std::optional(words.back().end);
                if (previousEnd && *previousEnd < timing.start) {
                    timing.start =
                        roundedToHundredths(timing.start - std::min(0.5f * m, timing.start - *previousEnd));
                }
            }
            timing.probability = roundedToHundredths(word.probability);
            timing.tokens = std::move(textTokens);
            placed += timing.tokens.size();
            words.push_back(std::move(timing));
        }

        if (!words.empty()) {
            WordTiming& first = words.front();
            // A long first word after a pause likely holds the silence before it.
            if (first.end - t > 4 * m &&
                (first.end - first.start > d || (words.size() >= 2 && words[1].end - first.start > 2 * d))) {
                if (words.size() >= 2 && words[1].end - words[1].start > d) {
                    const float boundary = std::max(0.5f * words[1].end, words[1].end - d);
                    first.end = boundary;
                    words[1].start = boundary;
                }
                first.start = std::max(t, first.end - d);
            }
            if (segment.start < first.end && first.start < segment.start - 0.5f) {
                first.start = std::max(0.0f, std::min(segment.start, first.end - m));
            } else {
                segment.start = first.start;
            }
            WordTiming& last = words.back();
            if (last.start < segment.end && segment.end + 0.5f < last.end) {
                last.end = std::max(segment.end, last.start + m);
            } else {
                segment.end = last.end;
            }
            t = segment.end;
        }
        segment.words = std::move(words);
        previousSegmentEnd = segment.end;
    }
    return segments;
}

} // namespace sonavex
