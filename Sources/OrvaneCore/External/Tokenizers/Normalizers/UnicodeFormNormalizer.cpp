#include "OrvaneCore/External/Tokenizers/Normalizers/UnicodeFormNormalizer.h"

namespace orvane {

std::string UnicodeFormNormalizer::normalize(const std::string& text) const { return text::normalize(text, form_); }

} // namespace orvane
