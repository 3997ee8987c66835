#include "OrvaneCore/External/Tokenizers/TokenLatticeNode.h"

#include <charconv>
#include <cmath>

namespace orvane {
namespace {

// Shortest round-trip text of a float, with ".0" on integral values as scores are usually shown.
std::string floatText(float value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (std::isfinite(value) && text.find_first_of(".en") == std::string::npos) {
        text += ".0";
    }
    return text;
}

} // namespace

std::string TokenLatticeNode::description() const {
    return "TokenLatticeNode(tokenId: " + std::to_string(tokenId) + ", startOffset: " + std::to_string(startOffset) +
           ", length: " + std::to_string(length) + ", score: " + floatText(score) +
           ", prev: " + (prev ? "true" : "false") + ", backtraceScore: " + floatText(backtraceScore) + ")";
}

} // namespace orvane
