#include "OrvaneCore/External/Tokenizers/PreTokenizers/WhitespacePreTokenizer.h"

namespace orvane {

WhitespacePreTokenizer::WhitespacePreTokenizer(const Config&) : WhitespacePreTokenizer() {}

WhitespacePreTokenizer::WhitespacePreTokenizer() : MatchingPreTokenizer(R"(\S+)") {}

} // namespace orvane
