#include "OrvaneCore/External/Tokenizers/PreTokenizers/PunctuationPreTokenizer.h"

namespace orvane {

PunctuationPreTokenizer::PunctuationPreTokenizer(const Config&) : PunctuationPreTokenizer() {}

PunctuationPreTokenizer::PunctuationPreTokenizer()
    : MatchingPreTokenizer(R"([^\p{P}\u0021-\u002F\u003A-\u0040\u005B-\u0060\u007B-\u007E]+|)"
                           R"([\p{P}\u0021-\u002F\u003A-\u0040\u005B-\u0060\u007B-\u007E]+)") {}

} // namespace orvane
