#pragma once
// Small records for result tests.

#include "Sonavex/Core/Results/TranscriptionSegment.h"

#include <optional>
#include <string>
#include <vector>

/// A segment with two tokens and their log-probabilities, and the given words when any.
inline sonavex::TranscriptionSegment
makeSegment(float start, float end, std::string text,
            std::optional<std::vector<sonavex::WordTiming>> words = std::nullopt) {
    sonavex::TranscriptionSegment made;
    made.start = start;
    made.end = end;
    made.text = std::move(text);
    made.tokens = {1, 2};
    made.tokenLogProbs = {{{1, -0.1f}}, {{2, -0.2f}, {50257, -3.5f}}};
    made.words = std::move(words);
    return made;
}
