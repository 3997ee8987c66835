#include "OrvaneCore/External/Tokenizers/Models/TokenLattice.h"

#include <algorithm>
#include <stdexcept>

namespace orvane {

TokenLattice::TokenLattice(std::vector<std::string> characters, TokenId bosTokenId, TokenId eosTokenId)
    : characters_(std::move(characters)), bosTokenId_(bosTokenId), eosTokenId_(eosTokenId) {
    const int n = static_cast<int>(characters_.size());
    beginNodes_.resize(n + 1);
    endNodes_.resize(n + 1);
    nodes_.push_back({bosTokenId, 0, 0, 0.0f, std::nullopt, 0.0f});
    nodes_.push_back({eosTokenId, n, 0, 0.0f, std::nullopt, 0.0f});
    beginNodes_[n].push_back(1);
    endNodes_[0].push_back(0);
}

void TokenLattice::insert(int startOffset, int length, float score, TokenId tokenId) {
    const int n = static_cast<int>(characters_.size());
    if (startOffset < 0 || length < 0 || startOffset + length > n) {
        throw std::out_of_range("TokenLattice::insert: node [" + std::to_string(startOffset) + ", +" +
                                std::to_string(length) + ") lies outside a text of " + std::to_string(n) +
                                " characters");
    }
    const std::size_t index = nodes_.size();
    nodes_.push_back({tokenId, startOffset, length, score, std::nullopt, 0.0f});
    beginNodes_[startOffset].push_back(index);
    endNodes_[startOffset + length].push_back(index);
}

std::vector<TokenLatticeNode> TokenLattice::viterbi() {
    const std::size_t n = characters_.size();
    for (std::size_t p = 0; p <= n; ++p) {
        if (beginNodes_[p].empty()) {
            return {};
        }
        for (std::size_t r : beginNodes_[p]) {
            nodes_[r].prev.reset();
            std::optional<std::size_t> best;
            float bestScore = 0.0f;
            // Equal totals keep the earlier node: nodes ending here are ordered by start, so the
            // longer piece wins a tie.
            for (std::size_t l : endNodes_[p]) {
                const float candidate = nodes_[l].backtraceScore + nodes_[r].score;
                if (!best || candidate > bestScore) {
                    best = l;
                    bestScore = candidate;
                }
            }
            if (best) {
                nodes_[r].prev = best;
                nodes_[r].backtraceScore = bestScore;
            }
        }
    }
    const TokenLatticeNode& end = nodes_[beginNodes_[n].front()];
    if (!end.prev) {
        return {};
    }
    std::vector<TokenLatticeNode> path;
    for (std::size_t i = *end.prev; nodes_[i].prev; i = *nodes_[i].prev) {
        path.push_back(nodes_[i]);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

std::vector<std::string> TokenLattice::tokens() {
    std::vector<std::string> out;
    for (const TokenLatticeNode& node : viterbi()) {
        std::string text;
        for (int i = node.startOffset; i < node.startOffset + node.length; ++i) {
            text += characters_[i];
        }
        out.push_back(std::move(text));
    }
    return out;
}

} // namespace orvane
