#include "Sonavex/Core/Text/SegmentSeeker.h"

#include <algorithm>
#include <cmath>

namespace sonavex {

namespace {

bool isSilent(const DecodingResult& result, const DecodingOptions& options) {
    if (!options.noSpeechThreshold || !(result.noSpeechProb > *options.noSpeechThreshold)) {
        return false;
    }
    // A confident decoding outweighs the no-speech guess.
    return !(options.logProbThreshold && result.avgLogProb > *options.logProbThreshold);
}

enum class Ending { none, singleTimestamp, noTimestamp };

Ending endingOf(const std::vector<bool>& isTimestamp) {
    const size_t count = isTimestamp.size();
    if (count < 3) {
        return Ending::none;
    }
    const bool first = isTimestamp[count - 3], second = isTimestamp[count - 2], last = isTimestamp[count - 1];
    if (!first && second && !last) {
        return Ending::singleTimestamp;
    }
    if (!first && !second && !last) {
        return Ending::noTimestamp;
    }
    return Ending::none;
}

float timeOfToken(int64_t token, int64_t timeToken) {
    return static_cast<float>(token - timeToken) * SegmentSeeker::secondsPerTimeToken;
}

// Toward zero; a product outside the 64-bit range (absurd token ids) saturates instead of being undefined.
int64_t truncated(float value) {
    constexpr float limit = 9.2e18f;
    if (!(value > -limit)) {
        return std::isnan(value) ? 0 : -static_cast<int64_t>(limit);
    }
    return value < limit ? static_cast<int64_t>(value) : static_cast<int64_t>(limit);
}

// Builds the segments of one window; the window's figures are the same for all of them.
class SegmentMaker {
public:
    SegmentMaker(const DecodingResult& result, const DecodingOptions& options, int64_t firstId, int64_t seek,
                 const WhisperTokenizer& tokenizer)
        : result_(result), skipSpecialTokens_(options.skipSpecialTokens), nextId_(firstId), seek_(seek),
          tokenizer_(tokenizer) {}

    // Tokens [begin, end) of the result, with the log-probabilities the result has for them.
    TranscriptionSegment make(size_t begin, size_t end, float start, float segmentEnd) {
        TranscriptionSegment segment;
        segment.id = nextId_++;
        segment.seek = seek_;
        segment.start = start;
        segment.end = segmentEnd;
        segment.tokens.assign(result_.tokens.begin() + begin, result_.tokens.begin() + end);
        const size_t probabilities = result_.tokenLogProbs.size();
        segment.tokenLogProbs.assign(result_.tokenLogProbs.begin() + std::min(begin, probabilities),
                                     result_.tokenLogProbs.begin() + std::min(end, probabilities));
        segment.text = text(segment.tokens);
        segment.temperature = result_.temperature;
        segment.avgLogprob = result_.avgLogProb;
        segment.compressionRatio = result_.compressionRatio;
        segment.noSpeechProb = result_.noSpeechProb;
        return segment;
    }

private:
    std::string text(const std::vector<int64_t>& tokens) const {
        const int64_t specialTokenBegin = tokenizer_.specialTokens().specialTokenBegin;
        std::vector<int> ids;
        for (int64_t token : tokens) {
            if (!skipSpecialTokens_ || token < specialTokenBegin) {
                ids.push_back(static_cast<int>(token));
            }
        }
        return tokenizer_.decode(ids);
    }

    const DecodingResult& result_;
    const bool skipSpecialTokens_;
    int64_t nextId_;
    const int64_t seek_;
    const WhisperTokenizer& tokenizer_;
};

} // namespace

SeekPointAndSegments SegmentSeeker::findSeekPointAndSegments(const DecodingResult& decodingResult,
                                                             const DecodingOptions& options,
                                                             int64_t allSegmentsCount, int64_t currentSeek,
                                                             int64_t segmentSize, int64_t sampleRate,
                                                             int64_t timeToken, int64_t /*specialToken*/,
                                                             const WhisperTokenizer& tokenizer) {
    if (isSilent(decodingResult, options)) {
        return {currentSeek + segmentSize, std::nullopt};
    }

    const std::vector<int64_t>& tokens = decodingResult.tokens;
    std::vector<bool> isTimestamp;
    isTimestamp.reserve(tokens.size());
    for (int64_t token : tokens) {
        isTimestamp.push_back(token >= timeToken);
    }
    const Ending ending = endingOf(isTimestamp);

    std::vector<size_t> sliceEnds;
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (isTimestamp[i] && isTimestamp[i - 1]) {
            sliceEnds.push_back(i);
        }
    }

    const float timeOffset = static_cast<float>(currentSeek) / static_cast<float>(sampleRate);
    SegmentMaker maker(decodingResult, options, allSegmentsCount, currentSeek, tokenizer);
    std::vector<TranscriptionSegment> segments;

    if (sliceEnds.empty()) {
        // The token for 0.00 s says nothing about the length: without a later timestamp the window's
        // whole length is taken.
        float duration = static_cast<float>(segmentSize) / static_cast<float>(sampleRate);
        const auto lastTimestamp = std::find_if(tokens.rbegin(), tokens.rend(),
                                                [timeToken](int64_t token) { return token > timeToken; });
        if (lastTimestamp != tokens.rend()) {
            duration = timeOfToken(*lastTimestamp, timeToken);
        }
        segments.push_back(maker.make(0, tokens.size(), timeOffset, timeOffset + duration));
        return {currentSeek + segmentSize, std::move(segments)};
    }

    if (ending == Ending::singleTimestamp) {
        const auto lastTimestamp = std::find(isTimestamp.rbegin(), isTimestamp.rend(), true);
        sliceEnds.push_back(static_cast<size_t>(isTimestamp.rend() - lastTimestamp));
    } else if (ending == Ending::noTimestamp) {
        sliceEnds.push_back(tokens.size());
    }

    size_t sliceBegin = 0;
    for (size_t sliceEnd : sliceEnds) {
        // Every slice holds a timestamp: it starts with the second of a pair or ends with the first.
        std::optional<int64_t> first, last;
        for (size_t i = sliceBegin; i < sliceEnd; ++i) {
            if (isTimestamp[i]) {
                first = first.value_or(tokens[i]);
                last = tokens[i];
            }
        }
        segments.push_back(maker.make(sliceBegin, sliceEnd, timeOffset + timeOfToken(*first, timeToken),
                                      timeOffset + timeOfToken(*last, timeToken)));
        sliceBegin = sliceEnd;
    }

    if (ending == Ending::noTimestamp) {
        return {currentSeek + segmentSize, std::move(segments)};
    }
    // The last timestamp the window reached: the lone final one, or the second of the last pair. The
    // product is taken in 32-bit floats and truncated, as the windows were always advanced.
    const size_t seekIndex = ending == Ending::singleTimestamp ? sliceEnds.back() - 1 : sliceEnds.back();
    const float advance = static_cast<float>(tokens[seekIndex] - timeToken) * secondsPerTimeToken *
                          static_cast<float>(sampleRate);
    return {currentSeek + truncated(advance), std::move(segments)};
}

} // namespace sonavex
