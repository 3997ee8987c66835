#include "OrvaneCore/External/Tokenizers/Normalizers/LowercaseNormalizer.h"

#include "OrvaneCore/Text/CaseMapping.h"

namespace orvane {

std::string LowercaseNormalizer::normalize(const std::string& text) const { return text::lowercased(text); }

} // namespace orvane
