#pragma once
// One timed piece of a transcription: the window it came from, its times and text, its tokens with their
// log-probabilities, the quality figures of the attempt that produced it and, when asked for, its words.

#include "Sonavex/Core/Results/WordTiming.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonavex {

struct TranscriptionSegment {
    int64_t id = 0;
    /// Start, in samples at 16 kHz, of the audio window that produced the segment.
    int64_t seek = 0;
    float start = 0;
    float end = 0;
    std::string text;
    std::vector<int64_t> tokens;
    /// Per token, the log-probabilities recorded for it, by token id.
    std::vector<std::map<int64_t, float>> tokenLogProbs;
    float temperature = 0;
    float avgLogprob = 0;
    float compressionRatio = 0;
    float noSpeechProb = 0;
    /// Present only when word timestamps were asked for; an empty list differs from none.
    std::optional<std::vector<WordTiming>> words;

    /// No check that it is positive.
    float duration() const { return end - start; }

    /// All twelve fields; floats compare as IEEE values, so a NaN field makes a segment unequal to itself.
    friend bool operator==(const TranscriptionSegment&, const TranscriptionSegment&) = default;
};

std::size_t hashValue(const TranscriptionSegment& segment);

/// Keys equal to the field names in field order; "words" is left out when absent and may be missing when
/// reading, every other key is required. tokenLogProbs is an array of objects keyed by decimal token ids.
void to_json(nlohmann::ordered_json& json, const TranscriptionSegment& segment);
void from_json(const nlohmann::ordered_json& json, TranscriptionSegment& segment);
/// A JSON array of segments.
std::vector<TranscriptionSegment> segmentsFromJson(const nlohmann::ordered_json& json,
                                                   std::string_view context);

} // namespace sonavex

template <> struct std::hash<sonavex::TranscriptionSegment> {
    std::size_t operator()(const sonavex::TranscriptionSegment& segment) const {
        return sonavex::hashValue(segment);
    }
};
