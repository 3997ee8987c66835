#include "OrvaneCore/External/Tokenizers/PreTokenizers/DigitsPreTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"

namespace orvane {

DigitsPreTokenizer::DigitsPreTokenizer(const Config& config)
    : DigitsPreTokenizer(config["individualDigits"].boolean().value_or(false)) {}

DigitsPreTokenizer::DigitsPreTokenizer(bool individualDigits)
    : MatchingPreTokenizer(individualDigits ? R"([^\d]+|\d)" : R"([^\d]+|\d+)") {}

} // namespace orvane
