#include "OrvaneCore/External/Tokenizers/Models/BasicTokenizer.h"

#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Normalization.h"

#include <algorithm>

namespace orvane {
namespace {

// Blanks that separate words: space separators and the tab; line breaks stay inside words.
bool isWordSeparator(char32_t c) { return c == U'\t' || text::generalCategory(c) == text::GeneralCategory::Zs; }

std::vector<std::string> components(std::string_view text) {
    std::vector<std::string> parts(1);
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t start = offset;
        if (isWordSeparator(text::nextCodePoint(text, offset))) {
            parts.emplace_back();
        } else {
            parts.back().append(text.substr(start, offset - start));
        }
    }
    return parts;
}

} // namespace

BasicTokenizer::BasicTokenizer(bool doLowerCase)
    : doLowerCase_(doLowerCase), neverSplit_{"[UNK]", "[SEP]", "[PAD]", "[CLS]", "[MASK]"} {}

bool BasicTokenizer::isPunctuation(char32_t c) {
    return text::isPunctuation(c) || (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) ||
           (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

std::vector<std::string> BasicTokenizer::tokenize(std::string_view input) const {
    const std::string folded = doLowerCase_ ? text::removingDiacritics(input) : std::string(input);
    std::vector<std::string> words;
    for (std::string& component : components(folded)) {
        if (std::find(neverSplit_.begin(), neverSplit_.end(), component) != neverSplit_.end()) {
            words.push_back(std::move(component));
            continue;
        }
        if (doLowerCase_) {
            component = text::lowercased(component);
        }
        std::string word;
        for (std::string_view character : characters(component)) {
            std::size_t offset = 0;
            if (isPunctuation(text::nextCodePoint(character, offset))) {
                if (!word.empty()) {
                    words.push_back(std::move(word));
                    word.clear();
                }
                words.emplace_back(character);
            } else {
                word += character;
            }
        }
        if (!word.empty()) {
            words.push_back(std::move(word));
        }
    }
    return words;
}

} // namespace orvane
