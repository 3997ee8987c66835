#include "OrvaneCore/External/Tokenizers/PreTokenizers/BertPreTokenizer.h"

namespace orvane {

BertPreTokenizer::BertPreTokenizer(const Config&) : BertPreTokenizer() {}

BertPreTokenizer::BertPreTokenizer()
    : MatchingPreTokenizer(R"([^\s\p{P}\u0021-\u002F\u003A-\u0040\u005B-\u0060\u007B-\u007E]+|)"
                           R"([\p{P}\u0021-\u002F\u003A-\u0040\u005B-\u0060\u007B-\u007E])") {}

} // namespace orvane
