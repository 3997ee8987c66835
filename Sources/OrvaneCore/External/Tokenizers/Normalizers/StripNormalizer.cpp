#include "OrvaneCore/External/Tokenizers/Normalizers/StripNormalizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/WhitespaceTrimming.h"

namespace orvane {

StripNormalizer::StripNormalizer(const Config& config)
    : leftStrip_(config["stripLeft"].boolean().value_or(true)),
      rightStrip_(config["stripRight"].boolean().value_or(true)) {}

std::string StripNormalizer::normalize(const std::string& input) const {
    return trimmingWhitespace(input, leftStrip_, rightStrip_);
}

} // namespace orvane
