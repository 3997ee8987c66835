#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPattern.h"

namespace orvane {

const text::Regex& byteLevelPattern() {
    static const text::Regex pattern(byteLevelPatternText);
    return pattern;
}

} // namespace orvane
