#pragma once
// What decoding one audio window gave: the sampled tokens with their log-probabilities, the text, the
// quality figures of the attempt and its fallback verdict.

#include "Sonavex/Core/DecodingCache.h"
#include "Sonavex/Core/Results/DecodingFallback.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sonavex {

struct DecodingResult {
    std::string language;
    std::map<std::string, float> languageProbs;
    std::vector<int64_t> tokens;
    /// One map per sampled token: its id to its log-probability.
    std::vector<std::map<int64_t, float>> tokenLogProbs;
    std::string text;
    float avgLogProb = 0;
    float noSpeechProb = 0;
    float temperature = 0;
    float compressionRatio = 0;
    std::optional<DecodingCache> cache;
    std::optional<TranscriptionTimings> timings;
    /// No value: the result is accepted without remark.
    std::optional<DecodingFallback> fallback;

    /// Empty texts and lists, zero figures, no cache, timings or fallback.
    static DecodingResult emptyResults() { return {}; }
};

} // namespace sonavex
