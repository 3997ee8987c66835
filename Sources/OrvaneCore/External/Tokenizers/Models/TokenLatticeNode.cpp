#include "OrvaneCore/External/Tokenizers/Models/TokenLatticeNode.h"

#include "OrvaneCore/Logging/Describing.h"

namespace orvane {

std::string TokenLatticeNode::description() const {
    return "TokenLatticeNode(tokenId: " + std::to_string(tokenId) +
           ", startOffset: " + std::to_string(startOffset) + ", length: " + std::to_string(length) +
           ", score: " + describing(score) + ", prev: " + (prev ? "true" : "false") +
           ", backtraceScore: " + describing(backtraceScore) + ")";
}

} // namespace orvane
