#include "OrvaneCore/External/Tokenizers/Normalizers/PrecompiledNormalizer.h"

#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Normalization.h"

namespace orvane {
namespace {

constexpr char32_t fullwidthTilde = 0xFF5E;

bool isRemoved(char32_t c) {
    return (c >= 0x01 && c <= 0x08) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F || c == 0x8F || c == 0x9F;
}

bool becomesBlank(char32_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x1680 || (c >= 0x200B && c <= 0x200F) ||
           c == 0x2028 || c == 0x2029 || c == 0x2581 || c == 0xFEFF || c == 0xFFFD;
}

} // namespace

std::string PrecompiledNormalizer::normalize(const std::string& input) const {
    std::string rebuilt;
    rebuilt.reserve(input.size());
    bool hasTilde = false;
    text::forEachCodePoint(input, [&](char32_t c) {
        if (isRemoved(c)) {
            return;
        }
        hasTilde = hasTilde || c == fullwidthTilde;
        text::appendUtf8(rebuilt, becomesBlank(c) ? U' ' : c);
    });
    if (!hasTilde) {
        return text::normalize(rebuilt, text::NormalizationForm::nfkc);
    }
    // Compatibility composition would turn the fullwidth tilde into "~"; compose around it instead.
    const std::string tilde = text::utf8(fullwidthTilde);
    std::string out;
    std::size_t start = 0;
    while (start <= rebuilt.size()) {
        std::size_t end = rebuilt.find(tilde, start);
        if (end == std::string::npos) {
            end = rebuilt.size();
        }
        if (end > start) {
            if (!out.empty()) {
                out += tilde;
            }
            out += text::normalize(std::string_view(rebuilt).substr(start, end - start), text::NormalizationForm::nfkc);
        }
        start = end + tilde.size();
    }
    return out;
}

} // namespace orvane
