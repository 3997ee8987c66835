#include "OrvaneCore/External/Tokenizers/Normalizers/ReplaceNormalizer.h"

namespace orvane {

ReplaceNormalizer::ReplaceNormalizer(const Config& config) : pattern_(StringReplacePattern::from(config)) {}

std::string ReplaceNormalizer::normalize(const std::string& text) const {
    return pattern_ ? pattern_->replace(text) : text;
}

} // namespace orvane
