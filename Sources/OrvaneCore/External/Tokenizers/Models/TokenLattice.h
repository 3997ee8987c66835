#pragma once
// The lattice of one piece of text for the unigram model: every candidate piece by where it begins
// and ends, and the highest-scoring path through them.

#include "OrvaneCore/External/Tokenizers/Models/TokenLatticeNode.h"

#include <string>
#include <vector>

namespace orvane {

class TokenLattice {
public:
    /// `characters` is the piece split into user-perceived characters; positions count them.
    TokenLattice(std::vector<std::string> characters, TokenId bosTokenId, TokenId eosTokenId);

    void insert(int startOffset, int length, float score, TokenId tokenId);

    /// The nodes of the best path from the first piece to the last (start and end nodes excluded).
    /// Writes `prev` and `backtraceScore` of the lattice's nodes.
    std::vector<TokenLatticeNode> viterbi();

    /// The texts of the best path: each node's characters of the piece.
    std::vector<std::string> tokens();

    const std::vector<TokenLatticeNode>& nodes() const { return nodes_; }
    TokenId bosTokenId() const { return bosTokenId_; }
    TokenId eosTokenId() const { return eosTokenId_; }

private:
    std::vector<std::string> characters_;
    TokenId bosTokenId_;
    TokenId eosTokenId_;
    std::vector<TokenLatticeNode> nodes_;
    std::vector<std::vector<std::size_t>> beginNodes_;
    std::vector<std::vector<std::size_t>> endNodes_;
};

} // namespace orvane
