#pragma once
// One candidate piece of a unigram lattice: where it lies in the text, its score, and (after the
// best-path pass) the best predecessor and the total score of the best path ending with it.

#include "OrvaneCore/External/Tokenizers/Pipeline/TokenId.h"

#include <cstddef>
#include <optional>
#include <string>

namespace orvane {

struct TokenLatticeNode {
    TokenId tokenId = 0;
    int startOffset = 0;
    int length = 0;
    float score = 0.0f;
    /// Index of the best predecessor in the lattice's `nodes`; empty before the best-path pass.
    /// An index rather than a pointer, so a long chain never needs recursive release.
    std::optional<std::size_t> prev;
    float backtraceScore = 0.0f;

    /// "TokenLatticeNode(tokenId: 3, startOffset: 0, length: 1, score: -1.5, prev: false, backtraceScore: 0.0)"
    std::string description() const;
};

} // namespace orvane
