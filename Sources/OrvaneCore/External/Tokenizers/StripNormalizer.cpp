#include "OrvaneCore/External/Tokenizers/StripNormalizer.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/WhitespaceTrimming.h"
#include "OrvaneCore/Text/Graphemes.h"

namespace orvane {

StripNormalizer::StripNormalizer(const Config& config)
    : leftStrip_(config["stripLeft"].boolean().value_or(true)),
      rightStrip_(config["stripRight"].boolean().value_or(true)) {}

std::string StripNormalizer::normalize(const std::string& input) const {
    const std::vector<std::string> characters = text::graphemes(input);
    std::size_t begin = 0;
    std::size_t end = characters.size();
    while (leftStrip_ && begin < end && isWhitespaceCharacter(characters[begin])) {
        ++begin;
    }
    while (rightStrip_ && end > begin && isWhitespaceCharacter(characters[end - 1])) {
        --end;
    }
    std::string out;
    for (std::size_t i = begin; i < end; ++i) {
        out += characters[i];
    }
    return out;
}

} // namespace orvane
