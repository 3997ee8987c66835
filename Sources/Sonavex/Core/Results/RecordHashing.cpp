#include "Sonavex/Core/Results/RecordHashing.h"

namespace sonavex {

namespace {

void feedTokens(Hasher& hasher, const std::vector<int64_t>& tokens) {
    hasher.combine(static_cast<int64_t>(tokens.size()));
    for (int64_t token : tokens) {
        hasher.combine(token);
    }
}

} // namespace

void feed(Hasher& hasher, const WordTiming& timing) {
    hasher.combine(std::string_view(timing.word));
    feedTokens(hasher, timing.tokens);
    hasher.combine(timing.start);
    hasher.combine(timing.end);
    hasher.combine(timing.probability);
}

void feed(Hasher& hasher, const TranscriptionSegment& segment) {
    hasher.combine(segment.id);
    hasher.combine(segment.seek);
    hasher.combine(segment.start);
    hasher.combine(segment.end);
    hasher.combine(std::string_view(segment.text));
    feedTokens(hasher, segment.tokens);
    hasher.combine(static_cast<int64_t>(segment.tokenLogProbs.size()));
    for (const auto& probabilities : segment.tokenLogProbs) {
        hasher.combine(static_cast<int64_t>(probabilities.size()));
        for (const auto& [token, logProb] : probabilities) {
            hasher.combine(token);
            hasher.combine(logProb);
        }
    }
    hasher.combine(segment.temperature);
    hasher.combine(segment.avgLogprob);
    hasher.combine(segment.compressionRatio);
    hasher.combine(segment.noSpeechProb);
    hasher.combine(segment.words.has_value());
    if (segment.words) {
        hasher.combine(static_cast<int64_t>(segment.words->size()));
        for (const WordTiming& word : *segment.words) {
            feed(hasher, word);
        }
    }
}

} // namespace sonavex
